// Process entry: hands the arguments after the program's name to the editor.
#include "app/app.h"

int main(int argc, char** argv) {
    return editor_main_from_argv(argc - 1, argv + 1);
}
