// The viewer's document: one opened WAVE file. It owns the reader, which keeps
// the file open for the document's whole life, and the film, whose layer 0
// holds the file's samples as the real parts of complex samples (layers 1 to
// 7 stay zero until a view asks for them). It also holds the time-frequency
// cursor that every pane of the document shares: panes hand a new point to
// SetTimeFrequencyCursor, which keeps it inside the signal and tells every
// view with hint 1.
//
// Nothing is ever written back: the only files the document makes are the
// film's temporary KFW*.TMP files, in the folder named by the profile entry
// Document/PathToTemporalFiles (the system temporary folder when there is
// none or it is not an absolute path), and they go when the document does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Document.h"
#include "KMultiWaveFilm.h"
#include "KWaveFileRead.h"
#include "ProgressReporter.h"
#include "TimeFrequencyCursor.h"

class CFonavidDoc : public platform::Document {
public:
    // The hint UpdateAllViews carries when the cursor moved.
    static constexpr long kHintCursorMoved = 1;
    // The hint UpdateAllViews carries when the play-head moved, appeared or went.
    static constexpr long kHintPlayheadMoved = 2;

    CFonavidDoc();
    // Closes the file, then removes every temporary file of the film.
    ~CFonavidDoc() override;

    // Asks for a file with the reader's open-file dialog and loads it as
    // OnOpenDocument does; false (and no document) when the user cancels.
    bool OnNewDocument() override;
    // Loads the file at `path`; false after a message when it cannot be shown.
    bool OnOpenDocument(const std::string& path) override;
    // Loads bytes from any source (a memory file, a source that fails on
    // purpose) as OnOpenDocument loads a file; `path` names it in messages.
    bool OnOpenSource(std::unique_ptr<WaveByteSource> source, const std::string& path);
    // For a picture of a part of a long file: opens the file at `path` as
    // OnOpenDocument does and makes the film's layer 0 of the whole length,
    // in sparse stores, without loading any sample; LoadStretch then loads
    // the frames a picture needs. False after OnOpenDocument's messages.
    bool OnOpenStretch(const std::string& path);
    // Loads, of every channel c, the frames kept[c] (within the file's; none
    // beyond the vector) into the sparse film OnOpenStretch made, each
    // sample where the whole load puts it; the frames between them are read
    // and dropped. False after OnOpenDocument's messages, the stores then gone.
    bool LoadStretch(const std::vector<SampleSpan>& kept);

    // Moves the cursor to (time, frequency), kept within 0 .. the time of the
    // last sample and 0 .. half the sample rate, and tells every view.
    void SetTimeFrequencyCursor(double time, double frequency);
    TimeFrequencyCursor GetTimeFrequencyCursor() const { return {m_dCursorTime, m_dCursorFrequency}; }

    // The play-head of a playback: the layer-0 sample the sound has reached,
    // -1 while nothing plays. Setting it tells every view with hint 2.
    void SetPlayhead(long sample);
    long GetPlayheadSample() const { return m_nPlayheadSample; }

    CKMultiWaveFilm* GetFilm() { return &m_film; }
    const CKMultiWaveFilm* GetFilm() const { return &m_film; }
    // The folder of the temporary signal files, read from the profile when
    // the document was made.
    const std::string& GetTemporaryFolder() const { return m_strTemporaryFolder; }

    // Who hears how far loading the samples has come: kLoadProgressSteps
    // steps over the whole data chunk. Nobody by default (the viewer shows
    // nothing while a file loads); the command-line renderer prints it.
    static constexpr int kLoadProgressSteps = 100;
    void SetLoadProgress(ProgressReporter* progress) { m_pLoadProgress = progress; }

    // The signal of the file; views reach it through the document.
    CKMultiWaveFilm m_film;

private:
    // Builds the film from the open reader and fills layer 0.
    bool LoadFromReader();
    // Builds the film from the open reader, its stores backed as given.
    bool MakeFilm(CKWave::Backing backing);
    // Fills kept[c] of channel c of layer 0 from the open reader.
    bool LoadFrames(const std::vector<SampleSpan>& kept);
    // Removes every store of the film at once (a load that failed part way).
    void DeleteStores();

    std::string m_strTemporaryFolder;
    double m_dCursorTime = 1.0;
    double m_dCursorFrequency = 1000.0;
    ProgressReporter* m_pLoadProgress = nullptr;
    long m_nPlayheadSample = -1;
    CKWaveFileRead m_reader;
};
