#pragma once
// Messages of the report server for pictures and tests of the result panel (GBK bytes through the
// build's execution character set).

namespace ServerMessages {

// The longest the server gives: a machine held back by two parts and the parts to change them
// for, each named with the 60 characters the server keeps of a name (cut with "…"), wide Chinese
// characters throughout, and a part that is not rated yet.
constexpr char kLongest[] = "您的电脑为 5 级（1 级最好，共 5 级）。决定等级的是显卡“"
                            "显显显显显显显显显显显显显显显显显显显显显显显显显显显"
                            "显显显显显显显显显显显显显显显显显显显显显显显显显显显"
                            "显显显显显显…”和CPU“显显显显显显显显显显显显显显显显"
                            "显显显显显显显显显显显显显显显显显显显显显显显显显显显"
                            "显显显显显显显显显显显显显显显显显…”：显卡换成“显显"
                            "显显显显显显显显显显显显显显显显显显显显显显显显显显显"
                            "显显显显显显显显显显显显显显显显显显显显显显显显显显显"
                            "显显显显…”、CPU 换成“显显显显显显显显显显显显显显显显"
                            "显显显显显显显显显显显显显显显显显显显显显显显显显显显"
                            "显显显显显显显显显显显显显显显显显…”，可升到 4 级。CP"
                            "U暂未收录，已告知管理员，暂按核心数估分。超过了 100% 的已"
                            "参与电脑。";

// Today's message for a machine, one line.
constexpr char kShort[] = "您的电脑为 3 级，超过了 37% 的已参与电脑。";

} // namespace ServerMessages
