#include "calc/msread.h"

#include <filesystem>
#include <fstream>
#include <span>

#include "fio/freeread.h"

namespace calc {

ReadResult MSREAD(const std::string& fileName, Records& records) {
    records.clear();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fileName, ec)) return ReadResult::NotReadable;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return ReadResult::NotReadable;

    fio::FreeReader reader(in);
    // One read of n values; lines that do not parse are skipped.
    auto readInts = [&](std::span<int> v) {
        fio::ReadStatus s;
        while ((s = reader.readIntegers(v)) == fio::ReadStatus::Error) {
        }
        return s;
    };
    auto readReals = [&](std::span<double> v) {
        fio::ReadStatus s;
        while ((s = reader.readReals(v)) == fio::ReadStatus::Error) {
        }
        return s;
    };
    for (;;) {
        Record r;
        do {
            if (readInts(std::span<int>(r.IPar).subspan(1)) == fio::ReadStatus::End ||
                readReals(std::span<double>(r.RPar).subspan(1)) == fio::ReadStatus::End) {
                // End of file: done, an incomplete record is dropped.
                if (in.bad()) {
                    records.clear();
                    return ReadResult::NotReadable;
                }
                return ReadResult::Read;
            }
        } while (r.IPar[1] < 0); // a record with a negative IPar[1] is dropped
        records.push_back(r);
        // The table has one slot more than the records it may hold: filling it rejects the file.
        if (static_cast<int>(records.size()) > kMaxRecords) {
            records.clear();
            return ReadResult::NotReadable;
        }
    }
}

} // namespace calc
