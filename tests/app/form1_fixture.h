#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <initializer_list>
#include <memory>
#include <string_view>

#include "app/form1.h"
#include "results/entry_list_model.h"
#include "results/result_list_model.h"
#include "support/fake_platform.h"

namespace numtrail::test {

// A fresh main window per test, with scripted dialogs and fetches.
class Form1Test : public ::testing::Test {
  protected:
    Form1Test() {
        settings.lookup_url = QStringLiteral("http://lookup.test/query");
        settings.update_url = QStringLiteral("http://update.test");
        settings.program_folder = folder.path();
    }

    Form1& Create() {
        form = std::make_unique<Form1>(fake.platform, settings);
        return *form;
    }

    // A window after an up-to-date start: batch mode selected, overlay gone.
    Form1& CreateReady() {
        fake.fetcher.Answer(QStringLiteral("sjhm:V4.1|"));
        Create().Load();
        return *form;
    }

    // The answer to the next attribution query.
    void AnswerWith(const QString& number, const QString& province, const QString& city,
                    const QString& area_code, const QString& postcode, const QString& card) {
        fake.fetcher.Answer(AttributionAnswer(number, province, city, area_code, postcode, card));
    }
    QString QueryUrl(const QString& number) const {
        return settings.lookup_url + QStringLiteral("?m=") + number +
               QStringLiteral("&output=json&callback=querycallback");
    }

    template <typename T>
    T* Find(const char* name) const {
        T* w = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QTableView* ListView1() const { return Find<QTableView>("ListView1"); }
    // The list's model once the view has heard of every row written: a fast batch's rows
    // reach the view a few at a time, the latest within a tenth of a second.
    ResultListModel* Shown() const {
        auto* model = qobject_cast<ResultListModel*>(ListView1()->model());
        model->Publish();
        return model;
    }
    int RowCount() const { return Shown()->rowCount(); }
    // The top row is the current one and the only one selected.
    bool TopRowSelected() const {
        Shown();
        const QModelIndexList selected = ListView1()->selectionModel()->selectedRows();
        return ListView1()->currentIndex().row() == 0 && selected.size() == 1 &&
               selected.first().row() == 0;
    }
    QListView* List1() const { return Find<QListView>("List1"); }
    // The pending list as List1 shows it.
    EntryListModel* Entries() const { return qobject_cast<EntryListModel*>(List1()->model()); }
    int ListCount() const { return Entries()->rowCount(); }
    QString ListEntry(int row) const { return Entries()->index(row).data().toString(); }
    int ListRow() const { return List1()->currentIndex().row(); }
    void SetEntries(std::initializer_list<std::string_view> entries) const {
        NumberEntries held;
        for (const std::string_view entry : entries) held.Append(entry);
        Entries()->Replace(std::move(held));
    }
    QPushButton* Button(const char* name) const { return Find<QPushButton>(name); }
    QRadioButton* Option(int i) const {
        return Find<QRadioButton>(i == 0 ? "Option4(0)" : "Option4(1)");
    }
    QTimer* Timer5() const { return Find<QTimer>("Timer5"); }
    QString Panel2() const { return form->PanelText(2); }

    // Column texts of a result row as the view shows them, in column order.
    QStringList Row(int index) const {
        const ResultListModel* model = Shown();
        QStringList cells;
        if (index >= model->rowCount()) return cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(index, c).data().toString();
        return cells;
    }

    QTemporaryDir folder;
    FakePlatform fake;
    Form1Settings settings;
    std::unique_ptr<Form1> form;
};

}  // namespace numtrail::test
