/* A test library that is not an add-on: it exports no Execute. */

int NotTheEntry(void) { return 1; }
