#include "KFGTransformerView.h"

#include "DialogFHTSetP.h"
#include "FonavidDoc.h"
#include "KWave.h"
#include "LevelSteps.h"
#include "Messages.h"
#include "PlaybackController.h"
#include "ResourceIds.h"

namespace {

const char* const kNoDocument =
    "Не удалось привязаться к документу. Программу следует "
    "прервать!\n\nCKFGTransformerView::OnInitialUpdate()";
const char* const kNoSignal =
    "Не удалось привязаться к сигналу. Программу следует прервать!\n\nCKFGTransformerView::OnInitialUpdate()";

}  // namespace

CKFGTransformerView::CKFGTransformerView(QWidget* parent) : platform::ScrollView(parent) {
    viewport()->setMouseTracking(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    // Values arrive on worker threads; the pane draws them in its next paint.
    m_fgt.SetOnValues([this] {
        QMetaObject::invokeMethod(
            this, [this] { viewport()->update(); }, Qt::QueuedConnection);
    });
}

CKFGTransformerView::~CKFGTransformerView() {
    // No worker may read the signal or call back once the pane is gone.
    m_fgt.Stop();
    ResetFGT();
}

void CKFGTransformerView::OnInitialUpdate() {
    platform::ScrollView::OnInitialUpdate();
    m_pDoc = dynamic_cast<CFonavidDoc*>(GetDocument());
    if (m_pDoc == nullptr) {
        platform::ShowMessage(kNoDocument);
    } else {
        m_pWave = m_pDoc->GetFilm()->GetKWave(0, 0);
        if (m_pWave == nullptr) platform::ShowMessage(kNoSignal);
    }
    // One pixel of surface: the pane never scrolls.
    SetScrollSizes(QSize(1, 1));
}

void CKFGTransformerView::ResetFGT() {
    m_fgt.Reset();
    m_pFrequency = nullptr;
    m_pSigmaT = nullptr;
    m_pRowLength = nullptr;
    m_nRows = 0;
    m_nTotal = 0;
    m_bInitialised = false;
    m_bReady = false;
    m_pWait.reset();
}

bool CKFGTransformerView::CalculateFGT(CKWave* wave) {
    // A deleted store keeps its ready flag but has no samples any more.
    if (wave == nullptr || !wave->IsRealPartOfSignalReady() || wave->GetFirstComplexSample() == nullptr)
        return false;
    ResetFGT();
    if (!m_fgt.Bind(wave, m_dP)) return false;
    m_nRows = m_fgt.GetRows();
    m_pFrequency = m_fgt.GetFrequency();
    m_pSigmaT = m_fgt.GetSigmaT();
    m_pRowLength = m_fgt.GetRowLength();
    m_nTotal = m_fgt.GetTotal();
    m_bInitialised = true;
    m_bReady = true;
    viewport()->update();
    return true;
}

void CKFGTransformerView::BuildFGTImage() {
    m_fgt.Remap(m_dLowerLevel, m_dUpperLevel);
    viewport()->update();
}

bool CKFGTransformerView::OnCommand(int id) {
    if (CPlaybackController::Instance().OnCommand(id, m_pDoc, GetVisibleEndTime())) return true;
    switch (id) {
        case res::ID_FGT_CALCULATE:
            OnFGTCalculate();
            return true;
        case res::ID_FGT_SET_P:
            OnFGTSetP();
            return true;
        case res::ID_UPPER_LEVEL_RAISE:
        case res::ID_UPPER_LEVEL_LOWER:
        case res::ID_LOWER_LEVEL_RAISE:
        case res::ID_LOWER_LEVEL_LOWER:
        case res::ID_LEVELS_DEFAULT:
            OnLevelCommand(id);
            return true;
        case res::ID_EDIT_COPY:
            CopyToClipboard();
            return true;
        default:
            return false;
    }
}

bool CKFGTransformerView::OnUpdateCommand(int id, platform::CommandState& state) {
    if (CPlaybackController::Instance().OnUpdateCommand(id, m_pDoc, state)) return true;
    switch (id) {
        case res::ID_FGT_CALCULATE:
        case res::ID_FGT_SET_P:
            // Without a signal there is nothing to compute.
            state.enabled = m_pWave != nullptr;
            return true;
        case res::ID_UPPER_LEVEL_RAISE:
        case res::ID_UPPER_LEVEL_LOWER:
        case res::ID_LOWER_LEVEL_RAISE:
        case res::ID_LOWER_LEVEL_LOWER:
        case res::ID_LEVELS_DEFAULT:
        case res::ID_EDIT_COPY:
            state.enabled = true;
            return true;
        default:
            return false;
    }
}

void CKFGTransformerView::OnFGTCalculate() {
    ResetFGT();
    CalculateFGT(m_pWave);
}

void CKFGTransformerView::OnFGTSetP() {
    CDialogFHT_set_P dialog(this);
    dialog.m_dP = m_dP;
    if (dialog.DoModal() != QDialog::Accepted) return;
    m_dP = dialog.m_dP;
    ResetFGT();
    CalculateFGT(m_pWave);
}

void CKFGTransformerView::OnLevelCommand(int id) {
    // The default levels are the pane's own; the steps are shared with the
    // sonogram panes.
    if (!LevelSteps::Apply(id, m_dUpperLevel, m_dLowerLevel)) {
        m_dLowerLevel = 0.0;
        m_dUpperLevel = 50.0;
    }
    BuildFGTImage();
}
