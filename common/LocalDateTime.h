// A local date and time as the calendar shows it: what clocks answer and
// what log file names are made of.
#pragma once

struct LocalDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};
