// Times one listing of a library folder the way a show starts it: until the first picture is
// known and until the list is complete, with the resident memory it left and the cache file's
// size. bench/library-listing.sh makes the folders and runs it cold and warm.
//   pictorelle-library-bench FOLDER CACHE_FOLDER
#include "library/LibraryList.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

int main(int argc, char** argv) {
    using namespace std::chrono;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER CACHE_FOLDER\n", argv[0]);
        return 2;
    }
    const long before = residentKiB();
    const auto start = steady_clock::now();
    steady_clock::time_point first, complete;
    std::shared_ptr<const pictorelle::TLibraryList> list;
    std::string cacheFile;
    {
        pictorelle::TLibraryCatalogue catalogue({argv[1], true, argv[2]});
        catalogue.Start();
        catalogue.WaitForAny(seconds(60));
        first = steady_clock::now();
        catalogue.WaitForComplete(seconds(600));
        complete = steady_clock::now();
        list = catalogue.Snapshot();
        cacheFile = catalogue.CacheFile();
    } // the worker has written the cache when it is gone
    const long after = residentKiB();
    struct stat st {};
    const long long cacheBytes = stat(cacheFile.c_str(), &st) == 0 ? st.st_size : -1;
    auto ms = [&](steady_clock::time_point t) {
        return duration<double, std::milli>(t - start).count();
    };
    std::printf("entries %zu  first %.1f ms  complete %.1f ms  list %.2f MB  resident +%.1f MB  "
                "cache %.2f MB\n",
                list->Size(), ms(first), ms(complete), static_cast<double>(list->MemoryBytes()) / 1e6,
                static_cast<double>(after - before) / 1024.0, static_cast<double>(cacheBytes) / 1e6);
    return list->Empty() ? 1 : 0;
}
