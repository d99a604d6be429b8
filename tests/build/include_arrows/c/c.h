#pragma once
inline int c() {
    return 3;
}
