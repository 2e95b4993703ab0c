// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The names nearest to one that odra does not know, best first, at most `most`: the catalogue's
// names and odra's own words (send, list) that are spelt nearly alike (a typo or two), contain
// it ("volume"), or that it abbreviates segment by segment ("vol-up", "temperature").
QStringList nearestNames(const QString &unknown, int most = 5);

// Edits (insertions, deletions, substitutions, two neighbours swapped) that turn a into b.
int editDistance(QStringView a, QStringView b);
