#pragma once
class ArrayController;
class QTableView;

// Keeps the selection of a table and of a controller the same, both ways.
void linkTableSelection(QTableView* table, ArrayController* controller);
