#include "a/a.h"

int b() {
    return a();
}
