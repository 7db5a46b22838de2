// Reading the per-stage results table that ammonite-batch writes with --tables:
// one row per stage, columns looked up by the names of the header line.
#pragma once

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace batch_test {

struct StageCsv {
    std::map<std::string, size_t> column;
    std::vector<std::vector<double>> rows;  // empty cells are NaN

    // The value of a named column at a row; NaN for an unknown column.
    double at(size_t row, const std::string& name) const {
        auto c = column.find(name);
        if (c == column.end() || row >= rows.size() || c->second >= rows[row].size()) return NAN;
        return rows[row][c->second];
    }
};

// Returns false when the file cannot be read or has no header.
inline bool readStageCsv(const std::string& path, StageCsv& out) {
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) return false;
    std::istringstream header(line);
    std::string name;
    for (size_t i = 0; std::getline(header, name, ','); ++i) out.column[name] = i;
    while (std::getline(in, line)) {
        std::vector<double> row;
        std::istringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, ',')) row.push_back(cell.empty() ? NAN : std::strtod(cell.c_str(), nullptr));
        if (!line.empty() && line.back() == ',') row.push_back(NAN);
        out.rows.push_back(std::move(row));
    }
    return !out.column.empty();
}

}  // namespace batch_test
