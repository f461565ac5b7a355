#pragma once

#include <atomic>

#include <QString>

// Puts a whole result at its output's name, where it replaces only this program's own earlier result
// of the same input, the very file placed there and unchanged since (PlacedResults). Anything else at
// that name, also what another program put there after the name was claimed, stays: the result takes
// the next free number (OutputPaths::next). The look, the placing and the record of the new file are
// made in one hold of the record's lock, so two programs placing at once never replace each other's
// results. Any thread; the settling thread calls it.
class ResultPlacement
{
public:
    // Move: the tool's result takes the name. CopyInput: a copy of the input does (`from` is the input).
    enum class How { Move, CopyInput };

    // Moves or copies `from` to `output` or the next free name for `input`; the path it now has, or an
    // empty text with `failure` set when nothing was placed. `stop` as for FilePlacement.
    static QString place(How how, const QString& from, const QString& input, const QString& output,
                         const std::atomic_bool* stop, QString* failure);

    // How many taken names are passed over before placing gives up.
    static constexpr int kMostNames = 1000;
};
