// The signals that ask a program to end (SIGTERM, SIGHUP, SIGINT) turned
// into bytes on a descriptor, so that a program's own loop (Qt's, or a
// poll) ends it the way its own close does instead of dying on the spot.
// Nothing here knows the toolkit; a program without one watches the
// descriptor in its poll.
#pragma once

#include <cstdint>

// Installs the handlers once; answers the descriptor that turns readable
// when one of the signals came, or -1 with the system's code in error (and
// on a platform that has no such signals).
int WatchEndSignals(uint32_t &error);
// Reads what waits on the descriptor; answers the last signal number, 0 for none.
int TakeEndSignals(int fd);
// Ends the program at once, as the signal's default action does: for a
// second signal while an end already waits (on a capture thread held by a
// stuck disk), when the operator means it. Nothing is written or waited for.
[[noreturn]] void EndAtOnce(int signalNumber);
