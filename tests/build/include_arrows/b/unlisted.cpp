#include "c/c.h"

int unlisted() {
    return c();
}
