// The instruction pictures of a test dialog: "pic1.bmp" ... "pic<N>.bmp" in
// the scenario's picture folder, one shown at a time.
//
// The sequence moves forward after each answer that moves the test on and
// back by one on a roll back, wrapping between 1 and N both ways. When the
// new picture cannot be drawn it falls back to the first picture (moving
// forward) or the last one (moving back) and tries once more; if that fails
// too the dialog shows "Picture loads errer!". Drawing itself is the
// caller's: a callback loads and shows the file and says whether it could.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kestrune {

inline constexpr const char* kPictureLoadErrorMessage = "Picture loads errer!";

class PictureSequence {
  public:
    /** Loads and shows the picture file; false when it could not. */
    using DrawPicture = std::function<bool(const std::string& file)>;

    struct Outcome {
        bool drawn = false;
        std::optional<std::string> message;  ///< "Picture loads errer!" after two failures
    };

    /** `folder` is used as written: the file name is appended directly. */
    PictureSequence(std::string folder, int count);

    int Number() const { return number_; }
    int Count() const { return count_; }
    /** The folder followed directly by "pic<n>.bmp". */
    std::string FileOf(int number) const;
    std::string CurrentFile() const { return FileOf(number_); }

    /** Draws the current picture (every paint); a failure shows nothing. */
    bool Draw(const DrawPicture& draw) const;
    /** Next picture, wrapping after the last to 1, with the fallback to 1. */
    Outcome Advance(const DrawPicture& draw);
    /** Previous picture, wrapping before 1 to the last, with the fallback to the last. */
    Outcome GoBack(const DrawPicture& draw);

  private:
    Outcome Show(int fallback, const DrawPicture& draw);

    std::string folder_;
    int count_;
    int number_ = 1;
};

}  // namespace kestrune
