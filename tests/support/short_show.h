// Short shows for the program, music and capture tests: a silent module of a
// few rows per order, fast enough to reach order 46 in about two seconds,
// and folders holding it beside a copy of the generated archive.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// `orders` orders of `rows` rows each at speed 1, tempo 255 (about 10 ms a
// row). With break_row >= 0, the first pattern breaks at that row to row
// `break_target` of the next order.
std::vector<uint8_t> short_module_bytes(int orders, int rows, int break_row = -1, int break_target = 0);

// A fresh folder with "orvanti.dat" copied from the build's generated data
// and the short module as "orvanti.xm"; "" (with a test failure) on error.
// The caller removes it.
std::string make_short_show_folder(int orders = 47, int rows = 4);

// Runs `command` through the shell, keeping what it writes to standard error.
// Returns the exit status, or -1 when it did not exit normally.
int run_command(const std::string &command, std::string *error_output);

// One line of orvanti-capture's --trace CSV.
struct TraceLine {
    long frame, milliseconds;
    int order, row;
    std::string handler;
    int param, fade_value, fade_kind;
};

// Reads a trace file written by orvanti-capture; a malformed line is a test
// failure and ends the reading there.
std::vector<TraceLine> read_trace(const std::string &path);
