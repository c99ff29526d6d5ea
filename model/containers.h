// Small numeric containers of the project data.
#pragma once

#include <cstdint>
#include <vector>

namespace model {

// A vector of reals with a count. Created or resized with n elements it holds max(n, 1) reals;
// when memory runs out the vector reports count -1 (creation) or stays as it was (resize).
// Reads outside the held values give 0, writes outside them are ignored, so that evaluating
// an object without results never reads outside its series.
class TVector {
public:
    explicit TVector(std::int32_t n = 0);

    std::int32_t Count() const { return count_; }
    // False when the reallocation failed (the vector is unchanged then).
    bool ReSize(std::int32_t n);

    double at(std::int64_t i) const {
        return (i >= 0 && i < count_ && i < static_cast<std::int64_t>(buf_.size()))
                   ? buf_[static_cast<std::size_t>(i)]
                   : 0.0;
    }
    void set(std::int64_t i, double v) {
        if (i >= 0 && i < count_ && i < static_cast<std::int64_t>(buf_.size()))
            buf_[static_cast<std::size_t>(i)] = v;
    }
    // Harmonics held: Count div 2 - 1 (-1 for an empty vector).
    std::int32_t harmonics() const { return count_ / 2 - 1; }

    friend bool operator==(const TVector&, const TVector&) = default;

private:
    std::int32_t count_ = 0;
    std::vector<double> buf_;
};

// A growable array of reals whose indices are shifted by an offset.
class TDoubField {
public:
    explicit TDoubField(std::int32_t n = 0, std::int32_t offset = 0);

    // Stores v at index i (element i + offset), growing the array when needed. A negative
    // element index or a failed growth clears the success flag and stores nothing.
    void setValue(std::int32_t i, double v);
    double value(std::int32_t i) const;

    std::int32_t capacity() const { return static_cast<std::int32_t>(buf_.size()); }
    bool success() const { return success_; }
    std::int32_t offset() const { return offset_; }

protected:
    std::vector<double> buf_;
    bool success_ = true;
    std::int32_t offset_ = 0;
};

// A Fourier series of n harmonics in 2n + 2 reals: sine of harmonic k at element 2k, cosine
// at 2k + 1.
class TFTField : public TDoubField {
public:
    explicit TFTField(std::int32_t harmonics = 0);
    void resizeHarmonics(std::int32_t harmonics);
    void setSin(std::int32_t k, double v) { setValue(2 * k, v); }
    void setCos(std::int32_t k, double v) { setValue(2 * k + 1, v); }
    double sinCoeff(std::int32_t k) const { return value(2 * k); }
    double cosCoeff(std::int32_t k) const { return value(2 * k + 1); }
};

} // namespace model
