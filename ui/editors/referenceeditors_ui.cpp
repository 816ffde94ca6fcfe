#include "ui/editors/referenceeditors_ui.h"

#include "ui/editors/ambientdoseeditor.h"
#include "ui/editors/basicdataeditor.h"
#include "ui/editors/tubeoutputeditor.h"
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
