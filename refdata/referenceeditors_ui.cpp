#include "refdata/referenceeditors_ui.h"

#include "refdata/ambientdoseeditor.h"
#include "refdata/basicdataeditor.h"
#include "refdata/tubeoutputeditor.h"
#include "ui/shell/navigation.h"

namespace tamso::ui {

void registerEditors() {
    Navigation& navigation = Navigation::instance();
    navigation.openBasicDataEditor = [] { BasicDataEditor::openEditor(); };
    navigation.openTubeOutputEditor = [] { TubeOutputEditor::openEditor(); };
    navigation.openAmbientDoseEditor = [] { AmbientDoseEditor::openEditor(); };
    navigation.hideTubeOutputEditor = [] { TubeOutputEditor::hideEditor(); };
}

} // namespace tamso::ui
