/* A library without the download functions. */

__attribute__((visibility("default"))) int SomethingElse(void) { return 0; }
