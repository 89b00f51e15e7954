// The operator's window: capture parameters, the three command buttons, the
// status lines and the live identifier grid.
#pragma once

#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CellPictures;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QTimer;
class SettingsText;
struct StoredSettings;
class TDropDownComboBox;
class TSpinEdit;
class TStringGrid;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 409;
    static constexpr int kClientHeight = 274;
    static constexpr int kGridRowPitch = 19;  // an 18-pixel row and its grid line

    // Creates the window for a program whose files (settings, logs) live in
    // folder, which ends in a path separator.
    explicit TForm1(const std::string &folder, QWidget *parent = nullptr);
    ~TForm1() override;

    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9, *Label10;
    QLabel *Label11, *Label12, *Label13, *Label14, *Label15, *Label16, *Label17, *Label18, *Label19, *Label20;
    TDropDownComboBox *ComboBox1;
    QComboBox *ComboBox2, *ComboBox3, *ComboBox4, *ComboBox5, *ComboBox6;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6, *Edit7, *Edit8;
    TSpinEdit *SpinEdit1, *SpinEdit3;
    QCheckBox *CheckBox1, *CheckBox2;
    TStringGrid *StringGrid1;
    QPushButton *Button1, *Button2, *Button3;
    QTimer *Timer1;

    QString MyVersion() const;
    // Sets the client size as the resize rule allows it.
    void SetClientSize(int width, int height);

    void FormCreate(const std::string &folder);
    // Saves the settings and ends the capture thread; false when the window
    // must stay open because the save failed (once: the next close ends it).
    bool FormClose();
    // A close no one watches (a signal, the session's end): no box is shown,
    // a failed save goes to standard error and the close goes on.
    void CloseUnattended();
    void FormCanResize(QObject *Sender, int &NewWidth, int &NewHeight, bool &Resize);
    void ComboBox1DropDown();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Timer1Timer();
    void StringGrid1DrawCell(QPainter *Canvas, int ACol, int ARow, const QRect &Rect);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void CreateControls();
    void CreateInputs();
    void PlaceInputs();
    void CreateStatus();
    void SetTabOrder();
    void ConnectHandlers();
    void PlaceBelowGrid(int growth);
    void CentreOnScreen();

    std::string SettingsPath() const;
    void LoadSettings();
    std::optional<std::string> ApplySettings(const SettingsText &text);
    void ApplyIndexes(const StoredSettings &stored);
    void ApplyChecks(const StoredSettings &stored);
    void ApplyNumbers(const StoredSettings &stored);
    void ApplyTexts(const StoredSettings &stored);
    void ApplyPlacement(const StoredSettings &stored);
    std::vector<std::string> SettingsValues() const;
    void StartCaptureThread();
    void SetUpGrid();
    void EndCaptureThread();

    std::optional<std::string> CopyParameters();
    void ShowState();
    void ShowErrors();
    void ShowButtons();

    std::unique_ptr<CellPictures> cellPictures_;
    bool captureThreadStarted_ = false;
    bool placedFromSettings_ = false;
    bool closing_ = false;
    bool saveFailed_ = false;
    bool unattended_ = false;
    bool endingThread_ = false;
};
