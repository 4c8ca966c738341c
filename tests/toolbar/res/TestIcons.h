#pragma once
// Icons of the toolbar tests: 16 x 16, each one solid colour (RGB below) so that painting can be checked
// by pixels.

#define IDI_TEST_RED 2001  // 0xE01010
#define IDI_TEST_GREEN 2002  // 0x10C010
