#include "model/containers.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace model {

TVector::TVector(std::int32_t n) {
    try {
        buf_.assign(static_cast<std::size_t>(std::max<std::int32_t>(n, 1)), 0.0);
        count_ = n;
    } catch (const std::bad_alloc&) {
        buf_.clear();
        count_ = -1;
    } catch (const std::length_error&) {
        buf_.clear();
        count_ = -1;
    }
}

bool TVector::ReSize(std::int32_t n) {
    try {
        buf_.resize(static_cast<std::size_t>(std::max<std::int32_t>(n, 1)), 0.0);
        count_ = n;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

TDoubField::TDoubField(std::int32_t n, std::int32_t offset) : offset_(offset) {
    try {
        buf_.assign(static_cast<std::size_t>(std::max<std::int32_t>(n, 0)), 0.0);
    } catch (const std::bad_alloc&) {
        success_ = false;
    }
}

void TDoubField::setValue(std::int32_t i, double v) {
    const std::int64_t j = static_cast<std::int64_t>(i) + offset_;
    if (j < 0) {
        success_ = false;
        return;
    }
    if (j >= static_cast<std::int64_t>(buf_.size())) {
        try {
            buf_.resize(static_cast<std::size_t>(j) + 1, 0.0);
        } catch (const std::bad_alloc&) {
            success_ = false;
            return;
        } catch (const std::length_error&) {
            success_ = false;
            return;
        }
    }
    buf_[static_cast<std::size_t>(j)] = v;
}

double TDoubField::value(std::int32_t i) const {
    const std::int64_t j = static_cast<std::int64_t>(i) + offset_;
    return (j >= 0 && j < static_cast<std::int64_t>(buf_.size()))
               ? buf_[static_cast<std::size_t>(j)]
               : 0.0;
}

TFTField::TFTField(std::int32_t harmonics) : TDoubField(2 * std::max(harmonics, 0) + 2) {}

void TFTField::resizeHarmonics(std::int32_t harmonics) {
    try {
        buf_.resize(static_cast<std::size_t>(2 * std::max(harmonics, 0) + 2), 0.0);
    } catch (const std::bad_alloc&) {
        success_ = false;
    }
}

} // namespace model
