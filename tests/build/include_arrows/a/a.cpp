#include "a/a.h"

int a() {
    return 1;
}
