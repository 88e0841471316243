#include "placeholders_platform.h"

void FetchPlaceholderFolder(PlaceholderFolder, char* buffer) {
    buffer[0] = '\0';
}
