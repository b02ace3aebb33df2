// Windows side of the batch floor: copies a log line by line. Usage: batch_floor LOG
#include "tools/bench/line_copy_floor.hpp"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    return CopyLinesFloor(argv[1], std::string(argv[1]) + " - floor.txt") >= 0 ? 0 : 1;
}
