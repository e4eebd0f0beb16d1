#pragma once

// The program's start: fixed values, splash, main window. Returns when the main window stands.
void Main();

// Before anything is written: an unreadable embedded file offers the newest good copy; a sound
// one gets its copy of the day. A server is left alone.
void checkEmbeddedDatabase();
