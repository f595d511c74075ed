// Placeholder packer: writes an empty file.
#include <fstream>
#include <string>

int main(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--out")
            std::ofstream(argv[i + 1], std::ios::binary);
    }
    return 0;
}
