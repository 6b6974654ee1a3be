// One run of fonavid-render: loads a WAVE file into a document as the viewer
// does, binds the signal and grid the options ask for the way a sonogram pane
// and its FAS-film command bind them, computes the sonogram (and on request
// the FGT) and composes the picture: the FGT pane's pixels on top, the
// sonogram pane's below. Every refusal goes through platform::ShowMessage;
// the temporary signal files go with the document when the renderer does.
#pragma once

#include <QImage>
#include <memory>
#include <string>

#include "DataFile.h"
#include "RenderOptions.h"
#include "SonogramRenderer.h"

class CFonavidDoc;
class ConsoleProgress;
class FGTOnDemand;

class Renderer {
public:
    // A picture side may not exceed what a PNG file can hold for its readers
    // and writers (one million pixels).
    static constexpr long kMaxSide = 1000000;
    // The background of the FGT pane (its palette's base colour).
    static constexpr unsigned kFgtBackground = 0xFFFFFFu;

    explicit Renderer(ConsoleProgress* progress = nullptr);
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Renders the picture the options describe, and keeps the levels behind
    // it when a data file is asked for. False after a message when the file
    // cannot be loaded, a setting does not fit the file, or the picture
    // would be too large for a PNG file or for the memory.
    bool Render(const RenderOptions& options, QImage& picture);

    // The levels of the last Render: the sonogram's with --data, the FGT's
    // with --fgt-data; empty otherwise. The caller may take them.
    DataFile::SonogramLevels& Levels() { return m_levels; }
    std::vector<DataFile::FgtRow>& FgtLevels() { return m_fgtLevels; }

    // What the last Render bound, for the tests.
    const SonogramRenderer::Settings& GetSettings() const { return m_settings; }
    int GetFirstColumn() const { return m_nFirstColumn; }
    int GetWidth() const { return m_nWidth; }
    int GetFgtRows() const { return m_nFgtRows; }
    double GetCursorTime() const { return m_dCursorTime; }
    // Where the picture lies inside its axes (0, 0 without them).
    QPoint GetPictureOrigin() const { return m_pictureOrigin; }
    CFonavidDoc* GetDocument() const { return m_pDoc.get(); }

private:
    bool BindGrid(const RenderOptions& options);
    void FitWidth(const RenderOptions& options);
    bool ChooseRange(const RenderOptions& options);
    bool KeepFgtLevels(const FGTOnDemand& values, int height);
    QImage WithAxes(const RenderOptions& options, const QImage& picture);
    bool CheckPictureSize(long width, long height, double dataBytes);

    ConsoleProgress* m_pProgress;
    std::unique_ptr<CFonavidDoc> m_pDoc;
    SonogramRenderer::Settings m_settings;
    int m_nFirstColumn = 0;
    int m_nWidth = 0;
    int m_nFgtRows = 0;
    double m_dCursorTime = 0.0;
    QPoint m_pictureOrigin;
    DataFile::SonogramLevels m_levels;
    std::vector<DataFile::FgtRow> m_fgtLevels;
};
