// Readers of the files the module hands back: the result code in "kq4.err", the coefficient
// file of one absolute motion specification, and the records as varied by the random search.
// Every reader takes numbers without the locale and reads all or nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <vector>

#include "model/containers.h"
#include "model/results.h"
#include "model/tree.h"

namespace calcctl {

// The integer on the first line of the status file; none when the file cannot be opened or
// that line holds anything else.
std::optional<int> readStatusFile(const std::string& path);
std::optional<int> parseStatus(std::string_view text);

// The coefficients of a motion with K harmonics from the machine-readable coefficient file:
// K + 1 pairs, the first value of pair i into element 2i + 1, the second into element 2i, so
// that element 0 holds eta, element 1 the constant term. The series is replaced only when all
// 2K + 2 values are there and finite. The three pairs after them (polynomial terms; theta, eta
// min; beta, time) give beta, when asked for and all there: the level of the written result.
bool readCoefficientFile(const std::string& path, std::int32_t K, model::TVector& s,
                         std::optional<double>* beta = nullptr);
bool parseCoefficients(std::string_view text, std::int32_t K, model::TVector& s,
                       std::optional<double>* beta = nullptr);

// The varied records of the random search: nine integers and twelve reals each. A record
// with a positive first integer, group number (integer 8) and object number n (integer 9)
// gives its reals to objects[n - 1], the object input record n was written from
// (model::CalcInput), when that is a restriction. Lines that do not start with an integer are
// skipped. None when the file cannot be opened or a record is cut short or holds something
// that is no number.
std::optional<model::VariedParameters>
readVariedRecords(const std::string& path, const std::vector<const model::Node*>& objects);
std::optional<model::VariedParameters>
parseVariedRecords(std::string_view text, const std::vector<const model::Node*>& objects);

// A real as the 6-byte reals of the project data hold it: 40 significant bits.
double toReal48(double v);

} // namespace calcctl
