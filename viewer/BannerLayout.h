// The numbers of the banner behind the document windows: font sizes, pen
// widths and text anchors in proportion to the client area, and the points of
// the decorative wave packet (a sine under a Gaussian envelope) that ends at
// the right end of the title. Pure arithmetic; the painter lives in
// CKMainFrameClient.
#pragma once

#include <vector>

struct BannerLayout {
    int nSmallFontHeight = 0;  // author lines
    int nSmallFontWidth = 0;
    int nTitleFontHeight = 0;  // title and institution line
    int nTitleFontWidth = 0;
    int nBottomFontHeight = 0;  // place-and-date line
    int nBottomFontWidth = 0;
    int nPenWidth = 0;  // thin pen; the two others are one and two wider
    int xCentre = 0;    // centre of the title column
    int yTitle = 0;     // title baseline row
    int nTitleGap = 0;  // gap above and below yTitle
};

// The layout of a client area of `width` x `height` pixels.
BannerLayout ComputeBannerLayout(int width, int height);

// The wave packet: the polyline runs from column x0 to column xR - 1, one
// point per column; y[i] is the row of column x0 + i. When x0 is not left of
// xR the list holds only the starting point (x0, y(x0)) and no line is drawn.
struct WavePacket {
    int x0 = 0;  // left end of the curve
    int xM = 0;  // centre of the envelope
    int xR = 0;  // right end of the title
    std::vector<int> y;
};

// The packet for a client area `width` x `height`, title column centre
// `xCentre` and half the title's width `halfTitle`, in single precision.
WavePacket ComputeWavePacket(int width, int height, int xCentre, int halfTitle);

// The row of column x of the packet whose envelope is centred on xM.
int WavePacketRow(int x, int xM, int height);
