/* A test add-on program: writes its arguments, one per line, to the file named by CORVANE_TEST_RECORD. */

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    const char *record = getenv("CORVANE_TEST_RECORD");
    if (!record) return 1;
    FILE *f = fopen(record, "w");
    if (!f) return 1;
    for (int i = 1; i < argc; ++i) fprintf(f, "%s\n", argv[i]);
    fclose(f);
    return 0;
}
