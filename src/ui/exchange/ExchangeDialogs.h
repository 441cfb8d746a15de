// The main menu's 导出文本库… and 导入文本库…: the platform's file dialog (for
// an import then the choice of adding or updating), a progress dialog that can be cancelled once the work
// runs to a few thousand records, and the notice that says how it went.
#pragma once

#include "LibraryStore.h"

#include <QString>

class QWidget;

namespace exchangedialogs {

// Asks where to export the library, then exports it.
void exportLibrary(QWidget *parent, const LibraryStore &library);
// Asks for a file to import and how, then imports it; true when records
// were added or updated.
bool importLibrary(QWidget *parent, const LibraryStore &library);

// The same for a file already chosen.
void exportTo(QWidget *parent, const LibraryStore &library, const QString &path);
bool importFrom(QWidget *parent, const LibraryStore &library, const QString &path,
                ImportMode mode = ImportMode::Add);

// From this many records on, the work shows its progress.
constexpr qint64 ProgressFrom = 3000;

} // namespace exchangedialogs
