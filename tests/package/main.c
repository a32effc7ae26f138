/* Uses the installed C interface from C. */

#include <pelto/pelto.h>

#include <stdio.h>
#include <string.h>

int main(void) {
    if (strcmp(pelto_version_string(), PELTO_VERSION_STRING) != 0) {
        fprintf(stderr, "package consumer (C): version %s, headers %s\n", pelto_version_string(),
                PELTO_VERSION_STRING);
        return 1;
    }
    printf("package consumer (C): OK (%s)\n", pelto_version_string());
    return 0;
}
