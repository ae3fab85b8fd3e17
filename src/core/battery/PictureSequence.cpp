#include "core/battery/PictureSequence.h"

#include <utility>

namespace kestrune {

PictureSequence::PictureSequence(std::string folder, int count)
    : folder_(std::move(folder)), count_(count) {}

std::string PictureSequence::FileOf(int number) const {
    return folder_ + "pic" + std::to_string(number) + ".bmp";
}

bool PictureSequence::Draw(const DrawPicture& draw) const {
    return draw(CurrentFile());
}

PictureSequence::Outcome PictureSequence::Advance(const DrawPicture& draw) {
    ++number_;
    if (number_ > count_) number_ = 1;
    return Show(1, draw);
}

PictureSequence::Outcome PictureSequence::GoBack(const DrawPicture& draw) {
    --number_;
    if (number_ < 1) number_ = count_;
    return Show(count_, draw);
}

PictureSequence::Outcome PictureSequence::Show(int fallback, const DrawPicture& draw) {
    Outcome outcome;
    if (draw(CurrentFile())) {
        outcome.drawn = true;
        return outcome;
    }
    number_ = fallback;
    if (draw(CurrentFile())) {
        outcome.drawn = true;
        return outcome;
    }
    outcome.message = kPictureLoadErrorMessage;
    return outcome;
}

}  // namespace kestrune
