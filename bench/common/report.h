#pragma once

#include "stats.h"

#include <QJsonArray>
#include <QString>

#include <cstdio>
#include <optional>
#include <vector>

namespace bench {

// One line of the table and one entry of bench.json: the panel's figure, the floor it is
// measured against in the same run (where there is one), and the target it is held to.
struct Figure
{
    QString key;   // stable name in bench.json, e.g. "rhythm.150ms.error"
    QString label; // the text of the table
    QString unit;
    Summary value;
    std::optional<Summary> floor;
    QString floorLabel; // what the floor is, e.g. "bare QTimer"
    QString target;     // as printed, e.g. "median <= 0.5, p99 <= 2"
    std::optional<bool> met;
    QString note;
    QJsonObject extra; // further detail for bench.json only

    QJsonObject toJson() const;
    static Figure fromJson(const QJsonObject &o);
};

class Report
{
public:
    void add(Figure f) { figures_.push_back(std::move(f)); }
    void addAll(const QJsonArray &figures);
    const std::vector<Figure> &figures() const { return figures_; }

    QJsonArray toJson() const;
    void printTable(std::FILE *out) const;
    int missed() const;

private:
    std::vector<Figure> figures_;
};

} // namespace bench
