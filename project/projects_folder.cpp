// The projects folder next to the program, its list, autoload and rename.
#include "app/editor.h"

namespace rivulo {

void Editor::openAutoloadProject() {}

void Editor::refreshProjectList(bool) {}

}  // namespace rivulo
