#pragma once
// The pictures, glyphs and icon compiled into the program (resources/zhangtao.qrc).
// Window constructors call this; registering twice is harmless.

namespace zt {
void initResources();
}
