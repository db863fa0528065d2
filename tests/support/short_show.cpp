// Short silent modules and show folders for the end-to-end tests.
#include "short_show.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>

#include "archive_fixture.h"
#include "xm_writer.h"

// Speed 1 at tempo 255: one tick, 2.5 / 255 s, per row.
constexpr int ShortSpeed = 1;
constexpr int ShortTempo = 255;

std::vector<uint8_t> short_module_bytes(int orders, int rows, int break_row, int break_target)
{
    XmModule song;
    song.name = "short show";
    song.channels = 2;
    song.speed = ShortSpeed;
    song.tempo = ShortTempo;
    // Every order plays its own pattern so that a break is seen in one place only.
    for (int order = 0; order < orders; order++) {
        song.orders.push_back(static_cast<uint8_t>(order == 0 ? 0 : 1));
    }
    song.patterns.push_back(make_xm_pattern(rows, song.channels));
    song.patterns.push_back(make_xm_pattern(rows, song.channels));
    if (break_row >= 0) {
        // The break parameter is decimal digits in hexadecimal nibbles.
        uint8_t bcd = static_cast<uint8_t>((break_target / 10) * 16 + break_target % 10);
        xm_cell(song.patterns[0], song.channels, break_row, 0) = {0, 0, 0, XmEffectPatternBreak, bcd};
    }
    std::vector<uint8_t> bytes;
    std::string error = encode_xm(song, bytes);
    EXPECT_EQ(error, "");
    return bytes;
}

std::string make_short_show_folder(int orders, int rows)
{
    std::string folder = make_temp_folder();
    std::vector<uint8_t> archive = read_file_bytes(std::string(ORVANTI_DATA_DIR) + "/orvanti.dat");
    if (archive.empty()) {
        ADD_FAILURE() << "no generated archive in " << ORVANTI_DATA_DIR;
        std::filesystem::remove_all(folder);
        return "";
    }
    write_file_bytes(folder + "/orvanti.dat", archive);
    write_file_bytes(folder + "/orvanti.xm", short_module_bytes(orders, rows));
    return folder;
}

int run_command(const std::string &command, std::string *error_output)
{
    std::string error_file = make_temp_folder();
    std::string full = "(" + command + ") 2>" + error_file + "/stderr";
    int status = system(full.c_str());
    if (error_output) {
        std::vector<uint8_t> bytes = read_file_bytes(error_file + "/stderr");
        error_output->assign(bytes.begin(), bytes.end());
    }
    std::filesystem::remove_all(error_file);
    if (status == -1 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::vector<TraceLine> read_trace(const std::string &path)
{
    std::vector<uint8_t> bytes = read_file_bytes(path);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string line;
    std::vector<TraceLine> lines;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, ','))
            fields.push_back(field);
        if (fields.size() != 8) {
            ADD_FAILURE() << path << ": bad trace line: " << line;
            break;
        }
        lines.push_back({std::stol(fields[0]), std::stol(fields[1]), std::stoi(fields[2]), std::stoi(fields[3]),
                         fields[4], std::stoi(fields[5]), std::stoi(fields[6]), std::stoi(fields[7])});
    }
    return lines;
}
