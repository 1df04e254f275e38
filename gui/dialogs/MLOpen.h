// The game list "Select Game to Open": one row per game of a PGN file, with
// its players, result, date and site; a chosen row is loaded through the
// command mailbox.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QString>

#include <string>
#include <vector>

#include "types.h"

class QLabel;
class QPushButton;
class QTableView;
class QWidget;

constexpr int MAX_LISTED_GAMES = 50000;

// The rows of the game list. Cells hold the file's bytes, shown as UTF-8,
// or as Latin-1 where they are no UTF-8.
class gamelistmodel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    struct Row {
        std::string White, Black, Result, Date, Site;
    };

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Clear();
    // Rows are added unseen; Publish shows those added since the last call.
    void Add(Row row);
    void Publish();
    // Cell text by column; row 0 is the first game.
    QString Text(int column, int row) const;

private:
    std::vector<Row> Rows;
    int Shown = 0;
};

class TfrmOpenGame : public QDialog {
    Q_OBJECT

public:
    explicit TfrmOpenGame(QWidget* parent = nullptr);
    ~TfrmOpenGame() override;

    // File position of the tag block of the game in each grid row (rows 1
    // to MAX_LISTED_GAMES - 1; row 0 is the header).
    std::vector<i64> GameOffsets;
    // The game chosen for loading.
    i64 SelectedGameOffset = 0;

    QTableView* StringGrid1;
    gamelistmodel* GameList;
    QWidget* Panel1;       // the buttons
    QLabel* lblLimit;      // shown when the file holds more games than the list
    QPushButton* Button2;  // "&Load Game"
    QPushButton* Button1;  // "&Close"

    // Fills the grid and GameOffsets from the file; "Error opening file!"
    // and the dialog closes when the file cannot be read or holds no game.
    // Of a file with more games the first MAX_LISTED_GAMES - 1 are listed
    // and lblLimit says so.
    void LoadGameList(const QString& fileName);

    // Grid rows as the grid counts them: the header row and one per game.
    int RowCount() const;
    QString Cell(int column, int row) const;
    // The grid row of the current cell, 0 when there is none.
    int CurrentRow() const;

    void StringGrid1DblClick();
    void Button2Click();
    void Button1Click();
    void FormResize();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Columns as wide as their headers and their longest fixed texts (game
    // number, result, date), no narrower than the form's widths; rows as
    // high as the font.
    void FitColumnsToFont();
};

// The application's game list (nullptr before start-up creates it).
extern TfrmOpenGame* frmOpenGame;
