// write-short-show FOLDER [ORDERS ROWS]: a show folder with the generated
// archive and a short silent module, for the scripts that run the program
// under valgrind. 47 orders of 4 rows reach order 46 in about two seconds.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "archive_fixture.h"
#include "short_show.h"

int main(int argc, char **argv)
{
    if (argc != 2 && argc != 4) {
        fprintf(stderr, "usage: write-short-show FOLDER [ORDERS ROWS]\n");
        return 2;
    }
    std::string folder = argv[1];
    int orders = argc == 4 ? atoi(argv[2]) : 47;
    int rows = argc == 4 ? atoi(argv[3]) : 4;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::vector<uint8_t> archive = read_file_bytes(std::string(ORVANTI_DATA_DIR) + "/orvanti.dat");
    if (error || archive.empty() || orders < 1 || rows < 1) {
        fprintf(stderr, "write-short-show: %s: cannot make the folder, or no generated archive in %s\n",
                folder.c_str(), ORVANTI_DATA_DIR);
        return 1;
    }
    write_file_bytes(folder + "/orvanti.dat", archive);
    write_file_bytes(folder + "/orvanti.xm", short_module_bytes(orders, rows));
    return 0;
}
