#pragma once

// The program's start: fixed values, splash, main window. Returns when the main window stands.
void Main();
