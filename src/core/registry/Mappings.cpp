#include "core/registry/Mappings.h"

namespace kestrune {

char SexCodeForIndex(int index) {
    switch (index) {
        case 1:
            return 'M';
        case 2:
            return 'F';
        default:
            return 'U';
    }
}

int SexIndexForCode(std::string_view code) {
    if (code.empty()) return 0;
    switch (code.front()) {
        case 'M':
        case 'm':
            return 1;
        case 'F':
        case 'f':
            return 2;
        default:
            return 0;
    }
}

namespace {

std::string FileTypeFor(int index, const char* others) {
    switch (index) {
        case 1:
            return "Wav";
        case 2:
            return "Mp3";
        case 3:
            return others;
        default:
            return "Unknown";
    }
}

}  // namespace

std::string FileTypeForInsert(int index) {
    return FileTypeFor(index, "Other");
}

std::string FileTypeForUpdate(int index) {
    return FileTypeFor(index, "Others");
}

int FileTypeIndexFor(std::string_view text) {
    if (text.empty()) return 0;
    switch (text.front()) {
        case 'W':
        case 'w':
            return 1;
        case 'M':
        case 'm':
            return 2;
        case 'O':
        case 'o':
            return 3;
        default:
            return 0;
    }
}

bool IsAcceptableAge(int age) {
    return age > 0 && age < 200;
}

int BirthYearForAge(int currentYear, int age) {
    return currentYear - age + 1;
}

int LocalYear(std::time_t now) {
    std::tm parts{};
    localtime_r(&now, &parts);
    return parts.tm_year + 1900;
}

int AgeForBirthYear(int currentYear, int birthYear) {
    return currentYear - birthYear + 1;
}

}  // namespace kestrune
