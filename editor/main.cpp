#include "editor/kxp_main.h"

int main() { return editor_main(); }
