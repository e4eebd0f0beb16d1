#pragma once
// The splash window shown while the main window loads.

#include <QLabel>
#include <QWidget>

class Start : public QWidget {
    Q_OBJECT
public:
    static Start* instance();
    static void unload();
    QLabel* Lab() const { return lab_; }

private:
    Start();
    void Form_Load();
    void Form_Unload();
    QLabel* lab_;
};
