// A look inside any archived file: a read-only window of its own showing the bytes as text
// (UTF-8 when they are valid UTF-8, else GBK) with a find field, or as a hex dump. Only the
// head of a large file is shown, and the window says how much.
#pragma once

#include <QWidget>
#include <cstdint>
#include <span>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace PakMgr {
struct ITreeNode;
}

namespace App {

// How much of a file the text and the hex view show at most.
inline constexpr std::size_t kTextShownMax = 2u << 20;
inline constexpr std::size_t kHexShownMax = 256u << 10;
// Text means no NUL byte in this many first bytes.
inline constexpr std::size_t kTextProbe = 64u << 10;

bool LooksLikeText(std::span<const uint8_t> bytes);
// The bytes as UTF-8 when they are valid UTF-8, else converted from GBK. A sequence cut at
// the end counts as valid only in a head (`whole` false): the rest of it lies past the head.
QString DecodeText(std::span<const uint8_t> bytes, bool whole);
// Sixteen bytes a line: offset, the bytes in hex, the printable ASCII characters.
QString HexDump(std::span<const uint8_t> bytes);

class CFileViewer final : public QWidget {
    Q_OBJECT
public:
    // `head` is the file's first bytes (at most what the view shows), `total` its size.
    CFileViewer(QWidget* owner, const QString& name, std::vector<uint8_t> head, uint64_t total);

    bool IsTextView() const { return m_isText; }
    QPlainTextEdit* Text() const { return m_text; }
    QLineEdit* FindField() const { return m_find; }
    QLabel* Note() const { return m_note; }

    // Selects the next match of the find field's text, wrapping at the end; false if none.
    bool FindNext();

protected:
    void changeEvent(QEvent* event) override;

private:
    // The title, the find field's hint, the button and the note in the language in use.
    void Retranslate();
    // What is shown: text or hex, and how much of the file.
    QString ShownNote() const;

    QPlainTextEdit* m_text = nullptr;
    QLineEdit* m_find = nullptr;
    QPushButton* m_next = nullptr;
    QLabel* m_note = nullptr;
    QString m_name;
    std::size_t m_shownBytes = 0;
    uint64_t m_total = 0;
    bool m_isText = false;
};

// Reads the node's head and opens a viewer window for it, or says why it can't be read.
CFileViewer* ShowFileViewer(QWidget* owner, PakMgr::ITreeNode* node);

}  // namespace App
