#include "app/bookmarks_window.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <memory>

#include "app/form_book.h"
#include "book/cp1251.h"
#include "book/text_helpers.h"
#include "formatter/book_cache.h"
#include "gui/dialogs.h"
#include "gui/text_codec.h"
#include "reader/bookmark_state.h"
#include "settings/bookmarks.h"
#include "settings/program_settings.h"

namespace lectorix {

std::string BookmarkPath(const QString& path) {
    const std::string cp1251 = ToCp1251(path);
    return FromCp1251(cp1251) == path ? cp1251 : path.toStdString();
}

QString PathOfBookmark(const std::string& stored) {
    const bool high = std::any_of(stored.begin(), stored.end(),
                                  [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (high && IsValidUtf8(stored)) {
        const QString utf8 = QString::fromStdString(stored);
        if (QFileInfo::exists(utf8)) return utf8;
    }
    return FromCp1251(stored);
}

void AddBookmark(TFormBook& form, ProgramSettings& settings) {
    if (form.OpenFileName().isEmpty()) {
        ShowWarning(&form, QStringLiteral("Текст вставлен из буфера обмена или отсутствует."));
        return;
    }
    const ReadingEngine& engine = form.Engine();
    const BookmarkRecord record = BuildBookmarkRecord(engine, BookmarkPath(form.OpenFileName()));
    const double overhead = engine.Engine.TickOverhead;
    ReportUserError(&form, [&] {
        settings.AddBookmark(FormatBookmark(record),
                             overhead != 0 ? ShortestDecimal(overhead) : "");
    });
}

void OpenBookmark(TFormBook& form, const std::string& line) {
    const auto record = ParseBookmark(line);
    if (!record) return;
    ReadingEngine& engine = form.Engine();
    engine.PauseIfReading();
    const QString path = PathOfBookmark(record->FilePath);
    if (!QFileInfo(path).isFile()) {
        ShowWarning(&form, QStringLiteral("Файл закладки «%1» не найден.").arg(path));
        return;
    }
    if (path != form.OpenFileName()) {
        // Opening another file records the session being left.
        if (!form.LoadOpenedFile(path)) return;
    } else {
        engine.EndSession();
    }
    RestoreBookmarkState(engine, *record);
    ShowRestoredPage(engine);
}

namespace {

bool FileExists(const std::string& stored) {
    return QFileInfo(PathOfBookmark(stored)).isFile();
}

void RebuildBookmarkMenu(TFormBook& form, ProgramSettings& settings, QMenu* menu) {
    form.Engine().PauseIfReading();
    std::vector<std::string> list;
    // Dead bookmarks leave the store too; when that save fails the menu still shows the rest.
    if (!ReportUserError(&form, [&] { list = settings.DropDeadBookmarks(FileExists); }))
        list = settings.RestoreBookmarks();
    const QList<QAction*> entries = menu->actions();
    for (qsizetype i = 2; i < entries.size(); ++i) {
        menu->removeAction(entries[i]);
        if (QMenu* sub = entries[i]->menu()) sub->deleteLater();
    }
    for (const BookmarkMenuGroup& group : BookmarkMenu(list)) {
        QMenu* sub = menu->addMenu(FromCp1251(group.BookName));
        for (const BookmarkMenuItem& item : group.Items) {
            const std::string line = list[static_cast<size_t>(item.Index)];
            QObject::connect(sub->addAction(FromCp1251(item.Caption)), &QAction::triggered, &form,
                             [&form, line] { OpenBookmark(form, line); });
        }
    }
}

}  // namespace

void ConnectBookmarks(TFormBook& form, ProgramSettings& settings, DocumentBytesLoader load) {
    // On the loading thread: the window shows the share reported, an archive's read in percent,
    // then a converted book's chapters.
    // Converted books are kept in the user's cache folder, so they open faster the next time.
    auto cache = std::make_shared<BookCache>(DefaultBookCacheFolder());
    form.Seams.LoadDocument = [cache, load](const QString& path,
                                            const std::function<void(int, int)>& progress,
                                            const std::function<void(std::string)>& firstPart) {
        return LoadDocumentCached(
            QFile::encodeName(path).toStdString(), *cache, load,
            [&progress](int percent) { progress(percent, 100); }, progress, firstPart);
    };
    form.Seams.BookmarkCount = [&settings] {
        std::vector<std::string> list;
        ReportUserError(nullptr, [&] { list = settings.RestoreBookmarks(); });
        return static_cast<int>(list.size());
    };
    form.Seams.OpenBookmark = [&form, &settings](int index) {
        const std::vector<std::string> list = settings.RestoreBookmarks();
        if (index >= 0 && static_cast<size_t>(index) < list.size())
            OpenBookmark(form, list[static_cast<size_t>(index)]);
    };
    form.Seams.AddBookmark = [&form, &settings] { AddBookmark(form, settings); };
    form.Seams.RebuildBookmarkMenu = [&form, &settings](QMenu* menu) {
        RebuildBookmarkMenu(form, settings, menu);
    };
}

}  // namespace lectorix
