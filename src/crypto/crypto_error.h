#pragma once

#include <stdexcept>
#include <string>

namespace numtrail {

// The error numbers the cipher and digest classes raise, so that a caller can tell an
// overflow from a bad index or a file fault.
enum CryptoErrorNumber : int {
    kErrGeneral = 1,              // cRijndael's own errors
    kErrOverflow = 6,             // a value left its 16- or 32-bit range
    kErrSubscriptOutOfRange = 9,  // an index outside its array
    kErrFileNotFound = 53,        // a file that could not be opened
    kErrFileIo = 57,              // a file that could not be read or written
};

// An error raised by a cipher or digest class: a number and a description naming the
// operation, e.g. (1, "cRijndael.SetCipherKey - Illegal KeyBits Value").
class CryptoError : public std::runtime_error {
  public:
    CryptoError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    int Number() const { return number_; }
    std::string Description() const { return what(); }

  private:
    int number_;
};

}  // namespace numtrail
