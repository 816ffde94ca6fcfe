#include "ui/shell/navigation.h"

namespace tamso::ui {

Navigation& Navigation::instance() {
    static Navigation navigation;
    return navigation;
}

} // namespace tamso::ui
