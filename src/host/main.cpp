// The player's entry. It reads the package appended to its own file; a file that carries no
// package, or a broken one, ends with the fixed message and a non-zero status.
#include "package/PackageReader.h"

#include <cstdio>
#include <exception>

int main() {
    using namespace pictorelle;
    try {
        FileSource self("/proc/self/exe");
        const Package package = ReadPackage(self);
        std::printf("%s: %zu items, %zu melodies\n", package.Strings[StringId::SaverTitle].c_str(),
                    package.Items.size(), package.Melodies.size());
        return 0;
    } catch (const std::exception&) {
        std::fprintf(stderr, "%s\n", kCorruptPackageMessage);
        return 1;
    }
}
