#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The rule of a grid's row ARowIdx, growing the list as cells of new rows arrive. Cells are
// kept by their row, so a row that lacks a cell cannot shift the cells of later rows into the
// wrong rule.
template <typename TRule>
TRule& RuleAt(std::vector<TRule>& ARules, std::int32_t ARowIdx) {
    const std::size_t index = ARowIdx < 0 ? 0 : static_cast<std::size_t>(ARowIdx);
    if (ARules.size() <= index)
        ARules.resize(index + 1);
    return ARules[index];
}
