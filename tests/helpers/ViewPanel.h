#pragma once
// A monitoring view on a new document, first update done, without a frame.

#include "doc/VelkorDoc.h"
#include "view/VelkorView.h"

struct ViewPanel
{
    CVelkorDoc doc;
    CVelkorView view;

    ViewPanel()
    {
        doc.OnNewDocument();
        view.SetDocument(&doc);
        view.OnInitialUpdate();
    }
    ChannelState& ch(int k) { return view.m_channel[k - 1]; }
};
