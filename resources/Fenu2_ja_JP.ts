<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="en">
<context>
    <name>CBarUI</name>
    <message>
        <source>Color Bar</source>
        <translation>カラーバー</translation>
    </message>
    <message>
        <source>Fix</source>
        <translation>固定</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>最小</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>最大</translation>
    </message>
</context>
<context>
    <name>DispAWLayout</name>
    <message>
        <source>Frame</source>
        <translation>フレーム</translation>
    </message>
</context>
<context>
    <name>ImgDispWCBar</name>
    <message>
        <source>Image Display with Color Bar</source>
        <translation>カラーバー付き画像表示</translation>
    </message>
</context>
<context>
    <name>ImgDispWPV</name>
    <message>
        <source>Image Display with Position and Value</source>
        <translation>位置・値表示付き画像表示</translation>
    </message>
</context>
<context>
    <name>PVFrame</name>
    <message>
        <source>X</source>
        <translation>X</translation>
    </message>
    <message>
        <source>Y</source>
        <translation>Y</translation>
    </message>
    <message>
        <source>Val:</source>
        <translation>値:</translation>
    </message>
    <message>
        <source>Scale Reset</source>
        <translation>表示リセット</translation>
    </message>
</context>
<context>
    <name>PopDockBase</name>
    <message>
        <source>Frame</source>
        <translation>フレーム</translation>
    </message>
    <message>
        <source>Pop/Dock</source>
        <translation>別窓/ドック</translation>
    </message>
</context>
<context>
    <name>ProcCtrl</name>
    <message>
        <source>CT Proc. Ctrl : </source>
        <translation>CT 処理設定 : </translation>
    </message>
    <message>
        <source>Slice : </source>
        <translation>スライス : </translation>
    </message>
    <message>
        <source>Center</source>
        <translation>回転中心</translation>
    </message>
    <message>
        <source>Rotation : </source>
        <translation>回転軸 : </translation>
    </message>
    <message>
        <source>H</source>
        <translation>H</translation>
    </message>
    <message>
        <source>V</source>
        <translation>V</translation>
    </message>
    <message>
        <source>  Ax</source>
        <translation>  軸</translation>
    </message>
    <message>
        <source>Angle Orig : </source>
        <translation>角度原点 : </translation>
    </message>
    <message>
        <source>[deg]</source>
        <translation>[度]</translation>
    </message>
    <message>
        <source>Data Set :  </source>
        <translation>データセット :  </translation>
    </message>
    <message>
        <source>Imgs</source>
        <translation>枚</translation>
    </message>
    <message>
        <source>Range</source>
        <translation>角度範囲</translation>
    </message>
    <message>
        <source>Partial</source>
        <translation>部分使用</translation>
    </message>
    <message>
        <source>Start [#]</source>
        <translation>開始番号 [#]</translation>
    </message>
    <message>
        <source>Using Images[#]</source>
        <translation>使用枚数[#]</translation>
    </message>
    <message>
        <source>Auto Exec</source>
        <translation>自動実行</translation>
    </message>
    <message>
        <source>From</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>To</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Step</source>
        <translation>間隔</translation>
    </message>
    <message>
        <source>Threads</source>
        <translation>スレッド数</translation>
    </message>
    <message>
        <source>Record. COR</source>
        <translation>記録した回転中心</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>記録</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>クリア</translation>
    </message>
    <message>
        <source>/%1</source>
        <translation>/%1</translation>
    </message>
    <message>
        <source>%1 at %2</source>
        <translation>%1 (スライス %2)</translation>
    </message>
</context>
<context>
    <name>SeekCtrl</name>
    <message>
        <source>SeekCtrl</source>
        <translation>画像送り</translation>
    </message>
</context>
</TS>
