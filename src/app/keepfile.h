// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A reading kept in a file the operator names: the file dialog, which asks before replacing a
// file that is there; the suffix of the chosen type added to a name typed without one; the
// writing; and its result on the status line.
#include "app/statusline.h"

#include <QString>

#include <functional>

class QWidget;

namespace meter {

struct KeepFile {
    QString title;
    QString name;            // suggested, in the user's home folder
    QString filters;         // "CSV 文件 (*.csv);;JSON 文件 (*.json)"; the first is the default
    QString done;            // "已保存：%1", with the path
    QString failed;          // "未保存：%1", with the reason
    Look look = Look::plain; // of the status line once the file is written
};

// `write` writes the file at a path and returns an error message, empty on success. Returns
// the path written, empty when the operator cancelled or the file was not written.
QString keepfile(QWidget* parent, StatusLine& status, const KeepFile& keep,
                 const std::function<QString(const QString& path)>& write);

// `path` with the suffix `filter` names ("JSON 文件 (*.json)" names .json) when it has none.
QString withsuffix(const QString& path, const QString& filter);

} // namespace meter
