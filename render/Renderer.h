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

    // Loads the whole file, as the viewer does, instead of the stretch the
    // picture reads: the same picture at the cost of the whole file (a
    // baseline to compare the stretch with).
    void SetWholeFileLoad(bool whole) { m_bWholeFile = whole; }
    // The layer-0 frames the last Render read from the file (every frame of
    // a whole-file load).
    long GetLoadedFrames() const { return m_nLoadedFrames; }

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
    // The grid, the columns and the picture's size for a file of rate
    // `frADC`, `bits` bits and `nSamples` samples a channel, each refused
    // with its message: from the header before loading, and again from the
    // loaded film.
    bool PlanFromHeader(const RenderOptions& options);
    bool Plan(const RenderOptions& options, double frADC, int bits, long nSamples);
    bool BindGrid(const RenderOptions& options, double frADC, int bits);
    void FitWidth(const RenderOptions& options, double rate, long nSamples);
    bool ChooseRange(const RenderOptions& options, double rate, long nSamples);
    // Loads what the picture reads of the file, decimates the layer it shows
    // and computes its analytic signal (`analytic`) for that stretch alone;
    // `fgtSpan` is what the FGT reads of layer 0.
    bool LoadStretch(const RenderOptions& options, bool analytic, const SampleSpan& fgtSpan);
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
    double m_dLayerRate = 0.0;
    bool m_bWholeFile = false;
    long m_nLoadedFrames = 0;
    QPoint m_pictureOrigin;
    DataFile::SonogramLevels m_levels;
    std::vector<DataFile::FgtRow> m_fgtLevels;
};
