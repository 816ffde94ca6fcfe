#pragma once
// The three reference-data editors as the other screens reach them: registerEditors() connects the
// navigation hooks (basic data, tube output data, ambient dose table) to the editor windows.

namespace tamso::ui {

// Sets Navigation::openBasicDataEditor, openTubeOutputEditor, openAmbientDoseEditor and
// hideTubeOutputEditor. Call once at start-up, after the QApplication exists.
void registerEditors();

} // namespace tamso::ui
