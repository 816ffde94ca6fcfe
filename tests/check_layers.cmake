cmake_minimum_required(VERSION 3.25)
# Fails when an include runs from a lower layer to a higher one (or sideways between screens).
# The layers, lowest first:
#   core: textio, dicom, engine, refdata, records  plain C++, no Qt, no screen header
#         (dicom reads image headers; its plausible ranges are the engine's)
#   node                                        the DICOM node, plain C++ above the rest of the core
#   ui/kit                                      base widgets, messages, resources
#   ui/report                                   the report layout and screen
#   ui/conditions, ui/editors, ui/records       the working screens, independent of each other
#   ui/shell                                    owns and wires every window
# tools/, tests/ and bench/ stand outside and may include any layer. The core's libraries link in
# the same order (CMakeLists.txt), and tests/CMakeLists.txt links each whole with its own alone.
set(core textio dicom engine refdata records node)
set(allowed_textio "textio/")
set(allowed_dicom "textio/|engine/|dicom/")
set(allowed_engine "textio/|engine/")
set(allowed_refdata "textio/|engine/|refdata/")
set(allowed_records "textio/|engine/|refdata/|records/")
set(allowed_node "textio/|dicom/|engine/|refdata/|records/|node/")
set(core_includes "textio/|dicom/|engine/|refdata/|records/|node/")
set(allowed_ui_kit "${core_includes}|ui/kit/")
set(allowed_ui_report "${core_includes}|ui/kit/|ui/report/")
set(allowed_ui_conditions "${core_includes}|ui/kit/|ui/report/|ui/conditions/")
set(allowed_ui_editors "${core_includes}|ui/kit/|ui/report/|ui/editors/")
set(allowed_ui_records "${core_includes}|ui/kit/|ui/report/|ui/records/")
set(allowed_ui_shell "${core_includes}|ui/")

set(bad "")
foreach(dir textio dicom engine refdata records node ui/kit ui/report ui/conditions ui/editors ui/records ui/shell)
    string(REPLACE "/" "_" key ${dir})
    set(allowed "${allowed_${key}}")
    file(GLOB_RECURSE files ${ROOT}/${dir}/*.h ${ROOT}/${dir}/*.cpp)
    foreach(f ${files})
        file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
        foreach(line ${lines})
            if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
                set(target ${CMAKE_MATCH_1})
                if(target MATCHES "/" AND NOT target MATCHES "^(${allowed})")
                    list(APPEND bad "${f}: ${line}")
                endif()
            elseif(key IN_LIST core AND line MATCHES "^[ \t]*#[ \t]*include[ \t]*<Q")
                list(APPEND bad "${f}: ${line} (the core has no Qt)")
            endif()
        endforeach()
    endforeach()
endforeach()
if(bad)
    string(REPLACE ";" "\n" bad "${bad}")
    message(FATAL_ERROR "Includes against the layers:\n${bad}")
endif()
