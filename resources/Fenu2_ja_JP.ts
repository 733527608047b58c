<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="en">
<context>
    <name>Body</name>
    <message>
        <source>Auto Save Data</source>
        <translation>データ自動保存</translation>
    </message>
    <message>
        <source>TIFF</source>
        <translation>TIFF</translation>
    </message>
    <message>
        <source>Also save each data file&apos;s region as a 32-bit float TIFF (.tif): the values as reconstructed, without limits or offset.</source>
        <translation>各データファイルの領域を 32 ビット浮動小数点 TIFF (.tif) としても保存します。値は再構成したままで、上限・下限・オフセットは適用しません。</translation>
    </message>
    <message>
        <source>Save in Sub Folders</source>
        <translation>サブフォルダに保存</translation>
    </message>
    <message>
        <source>When this option is selected but neither &apos;of Energy&apos; nor &apos;of Slice&apos; is selected, it works as if &apos;of Slice&apos; is selected.W</source>
        <translation>この項目を選び「エネルギー別」も「スライス別」も選ばないときは、「スライス別」を選んだものとして動作します。</translation>
    </message>
    <message>
        <source>of Energy</source>
        <translation>エネルギー別</translation>
    </message>
    <message>
        <source>of Slice</source>
        <translation>スライス別</translation>
    </message>
    <message>
        <source>Upper Limit</source>
        <translation>上限</translation>
    </message>
    <message>
        <source>Lower Limit</source>
        <translation>下限</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>オフセット</translation>
    </message>
    <message>
        <source>Auto Save Img</source>
        <translation>画像自動保存</translation>
    </message>
    <message>
        <source>Fix Color Scale</source>
        <translation>カラースケール固定</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>最小</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>最大</translation>
    </message>
    <message>
        <source>CT1</source>
        <translation>CT1</translation>
    </message>
    <message>
        <source>CT2</source>
        <translation>CT2</translation>
    </message>
    <message>
        <source>Calc</source>
        <translation>計算</translation>
    </message>
    <message>
        <source>Show Res.</source>
        <translation>結果表示</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>End</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Spent</source>
        <translation>所要</translation>
    </message>
    <message>
        <source>[s]</source>
        <translation>[秒]</translation>
    </message>
    <message>
        <source>Sinogram</source>
        <translation>サイノグラム</translation>
    </message>
    <message>
        <source>CT Reconstructed Image</source>
        <translation>CT 再構成像</translation>
    </message>
    <message>
        <source>CT Images</source>
        <translation>CT 画像一覧</translation>
    </message>
    <message>
        <source>CT2 %1</source>
        <translation>CT2 %1</translation>
    </message>
    <message>
        <source>Row Images</source>
        <translation>生画像</translation>
    </message>
    <message>
        <source>Save Setup</source>
        <translation>設定保存</translation>
    </message>
    <message>
        <source>Load Setup</source>
        <translation>設定読込</translation>
    </message>
    <message>
        <source>I0 Image</source>
        <translation>I0 画像</translation>
    </message>
    <message>
        <source>BG Image</source>
        <translation>BG 画像</translation>
    </message>
    <message>
        <source>Show Additionl Info for CT XAFS</source>
        <translation>CT-XAFS 用の追加情報を表示</translation>
    </message>
    <message>
        <source>Send Msg.</source>
        <translation>通知送信</translation>
    </message>
    <message>
        <source>Exec 2DA</source>
        <translation>2DA 実行</translation>
    </message>
    <message>
        <source>Link Tessela</source>
        <translation>Tessela 接続</translation>
    </message>
    <message>
        <source>w 2DA</source>
        <translation>2DA も実行</translation>
    </message>
    <message>
        <source>Cont. 2DA</source>
        <translation>2DA 連続</translation>
    </message>
    <message>
        <source>More</source>
        <translation>詳細</translation>
    </message>
    <message>
        <source>Sequential Exec</source>
        <translation>連続実行</translation>
    </message>
    <message>
        <source>Seq. Calc.</source>
        <translation>連続計算</translation>
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
        <source>Keep on New Sets</source>
        <translation>新しいセットでも保持</translation>
    </message>
    <message>
        <source>Progress Msg.</source>
        <translation>進行状況</translation>
    </message>
    <message>
        <source>Fenu2 Images</source>
        <translation>Fenu2 画像</translation>
    </message>
    <message>
        <source>Raw Image</source>
        <translation>生画像</translation>
    </message>
    <message>
        <source>Measured Raw Image</source>
        <translation>測定した生画像</translation>
    </message>
    <message>
        <source>Check Sinogram</source>
        <translation>サイノグラム確認</translation>
    </message>
    <message>
        <source>CT Reconstruction</source>
        <translation>CT 再構成</translation>
    </message>
    <message>
        <source>CT images</source>
        <translation>CT 画像一覧</translation>
    </message>
    <message>
        <source>3D View</source>
        <translation>3D 表示</translation>
    </message>
    <message>
        <source>Reconstructed Body View</source>
        <translation>再構成像の立体表示</translation>
    </message>
    <message>
        <source>Sel. I0 File Set</source>
        <translation>I0 ファイル群選択</translation>
    </message>
    <message>
        <source>I0 of Raw Image</source>
        <translation>生画像の I0</translation>
    </message>
    <message>
        <source>I0 of I0 Image</source>
        <translation>I0 画像の I0</translation>
    </message>
    <message>
        <source>Loading %1 / %2</source>
        <translation>読込中 %1 / %2</translation>
    </message>
    <message>
        <source>Reconstruction run ended: %1 slices, %2 s</source>
        <translation>再構成終了: %1 スライス, %2 秒</translation>
    </message>
    <message>
        <source>, back projection %1 s in all</source>
        <translation>、逆投影 計 %1 秒</translation>
    </message>
    <message>
        <source>Slice %1 done: %2 % (%3 / %4), %5 s</source>
        <translation>スライス %1 完了: %2 % (%3 / %4), %5 秒</translation>
    </message>
    <message>
        <source>, back projection %1 s</source>
        <translation>、逆投影 %1 秒</translation>
    </message>
    <message>
        <source>Interrupted: the slices already started are finished and saved; interrupt again to quit at once</source>
        <translation>中断しました: 計算中のスライスは最後まで計算して保存します。もう一度中断するとすぐに終了します</translation>
    </message>
    <message>
        <source>Loading first Data Set</source>
        <translation>最初のデータセットを読み込み中</translation>
    </message>
    <message>
        <source>Loading next Data Set</source>
        <translation>次のデータセットを読み込み中</translation>
    </message>
    <message>
        <source>Set %1 of %2 (%3) done: %4 s</source>
        <translation>データセット %1 / %2 (%3) 完了: %4 秒</translation>
    </message>
    <message>
        <source>Skip Existing</source>
        <translation>既存はスキップ</translation>
    </message>
    <message>
        <source>Leave out the slices whose result files are all there already, so that a run cut short goes on where it stopped.</source>
        <translation>結果ファイルがすべて揃っているスライスは計算しません。中断した計算を続きから再開できます。</translation>
    </message>
    <message>
        <source>Slice %1 misses %2 of its result files: %3</source>
        <translation>スライス %1 の結果ファイルが %2 個ありません: %3</translation>
    </message>
    <message>
        <source>Checked %1 slices: %2 without all their result files</source>
        <translation>%1 スライスを確認: 結果ファイルの欠けたスライス %2 個</translation>
    </message>
    <message>
        <source>, %1 slices skipped (their result files were there)</source>
        <translation>、%1 スライスはスキップ (結果ファイルあり)</translation>
    </message>
</context>
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
    <name>CtCalc</name>
    <message>
        <source>CT Calc</source>
        <translation>CT 計算</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>At Once</source>
        <translation>一括計算</translation>
    </message>
    <message>
        <source>Disp R.</source>
        <translation>表示範囲</translation>
    </message>
    <message>
        <source>Cacl R.</source>
        <translation>計算範囲</translation>
    </message>
    <message>
        <source>Set To C. Region</source>
        <translation>計算範囲に設定</translation>
    </message>
    <message>
        <source>End</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Spent [sec]</source>
        <translation>所要時間 [秒]</translation>
    </message>
    <message>
        <source>Slice No.</source>
        <translation>スライス番号</translation>
    </message>
</context>
<context>
    <name>CtCalc2Ui</name>
    <message>
        <source>CT Calc2</source>
        <translation>CT 計算2</translation>
    </message>
    <message>
        <source>Disp R.</source>
        <translation>表示範囲</translation>
    </message>
    <message>
        <source>Cacl R.</source>
        <translation>計算範囲</translation>
    </message>
    <message>
        <source>Set To C. Region</source>
        <translation>計算範囲に設定</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>End</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Spent [sec]</source>
        <translation>所要時間 [秒]</translation>
    </message>
    <message>
        <source>Slice No.</source>
        <translation>スライス番号</translation>
    </message>
    <message>
        <source>CT Calc2 %1</source>
        <translation>CT 計算2 %1</translation>
    </message>
</context>
<context>
    <name>CtDisp</name>
    <message>
        <source>CT display</source>
        <translation>CT 画像表示</translation>
    </message>
</context>
<context>
    <name>CtView</name>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;The size of screen. Firstly, they should be so small as 256 to work quickly. When the settings, like obserbing direction, position of closs-section, and color range, are decided, it should be set larger as 1024 or so to get high resolution results.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;画像のサイズ。最初は 256 程度の小さい値で素早く操作し、観察方向・断面の位置・色の範囲などが決まったら、1024 程度に大きくして高解像度の結果を得てください。&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Img Size in Pix</source>
        <translation>画像サイズ [pix]</translation>
    </message>
    <message>
        <source>Save Image</source>
        <translation>画像保存</translation>
    </message>
    <message>
        <source>Add Slice Set</source>
        <translation>スライスセット追加</translation>
    </message>
    <message>
        <source>Link C. Section</source>
        <translation>断面を連動</translation>
    </message>
    <message>
        <source>Supported File Types are : %1
 and also SVG.</source>
        <translation>保存できるファイル形式 : %1
 および SVG</translation>
    </message>
    <message>
        <source>Show Setup %1</source>
        <translation>設定 %1 を表示</translation>
    </message>
    <message>
        <source>Any (* *.*)</source>
        <translation>すべて (* *.*)</translation>
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
    <name>I0ofImage</name>
    <message>
        <source>I0 of Image</source>
        <translation>画像のI0</translation>
    </message>
    <message>
        <source>Calc from XAFS file</source>
        <translation>XAFSファイルから算出</translation>
    </message>
    <message>
        <source>Eng. Ptn in Img F. Name :</source>
        <translation>画像ファイル名のエネルギー書式 :</translation>
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
<context>
    <name>SelectAFile</name>
    <message>
        <source>Frame</source>
        <translation>フレーム</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>選択</translation>
    </message>
    <message>
        <source>File name prefix</source>
        <translation>ファイル名の接頭辞</translation>
    </message>
    <message>
        <source>Tag added to the file names (the energy in CT-XAFS runs)</source>
        <translation>ファイル名に付けるタグ（CT-XAFS測定ではエネルギー）</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>クリア</translation>
    </message>
    <message>
        <source>Choose a File Name to Save</source>
        <translation>保存先のファイル名を指定</translation>
    </message>
    <message>
        <source>Any file (* *.*)</source>
        <translation>すべてのファイル (* *.*)</translation>
    </message>
    <message>
        <source>Select a File</source>
        <translation>ファイルを選択</translation>
    </message>
    <message>
        <source>Img file (*.img)</source>
        <translation>Imgファイル (*.img)</translation>
    </message>
    <message>
        <source>Tiff file (*.tif *.tiff)</source>
        <translation>TIFFファイル (*.tif *.tiff)</translation>
    </message>
</context>
<context>
    <name>SelectAImgFileBase</name>
    <message>
        <source>Frame</source>
        <translation>フレーム</translation>
    </message>
    <message>
        <source>Exp Time</source>
        <translation>露光時間</translation>
    </message>
    <message>
        <source>[s]</source>
        <translation>[s]</translation>
    </message>
    <message>
        <source>Show Img</source>
        <translation>画像表示</translation>
    </message>
</context>
<context>
    <name>SelectDataDir</name>
    <message>
        <source>Frame</source>
        <translation>フレーム</translation>
    </message>
    <message>
        <source>VKR Std.</source>
        <translation>VKR 標準</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>セット</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>次へ</translation>
    </message>
</context>
<context>
    <name>SelectDataFiles</name>
    <message>
        <source>Frame</source>
        <translation>フレーム</translation>
    </message>
    <message>
        <source>Data Select</source>
        <translation>データ選択</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>クリア</translation>
    </message>
    <message>
        <source>When Checked : The first file in the list will be read multitimes ( ex. 180 times )</source>
        <translation>チェック時：リストの最初のファイルを指定回数だけ繰り返し読み込みます（例：180回）</translation>
    </message>
    <message>
        <source>Multi.</source>
        <translation>複数回</translation>
    </message>
    <message>
        <source>New</source>
        <translation>新規</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>追加</translation>
    </message>
    <message>
        <source>Keep slice, centre of rotation and regions when new files are loaded</source>
        <translation>新しいファイルを読み込んでもスライス・回転中心・領域を保持します</translation>
    </message>
    <message>
        <source>keep Conds.</source>
        <translation>条件保持</translation>
    </message>
    <message>
        <source>Exp. Time[s]</source>
        <translation>露光時間[s]</translation>
    </message>
    <message>
        <source>File suffix written with the data directory into a setup file</source>
        <translation>セットアップファイルにデータフォルダと共に記録するファイル拡張子</translation>
    </message>
    <message>
        <source>Select Data Files</source>
        <translation>データファイルを選択</translation>
    </message>
    <message>
        <source>Itex File (*.img *.his)</source>
        <translation>ITEXファイル (*.img *.his)</translation>
    </message>
    <message>
        <source>Tiff File (*.tif *.tiff)</source>
        <translation>TIFFファイル (*.tif *.tiff)</translation>
    </message>
    <message>
        <source>Any Files (* *.*)</source>
        <translation>すべてのファイル (* *.*)</translation>
    </message>
</context>
<context>
    <name>SelectDir</name>
    <message>
        <source>Frame</source>
        <translation>フレーム</translation>
    </message>
    <message>
        <source>Sel. Dir</source>
        <translation>フォルダ選択</translation>
    </message>
    <message>
        <source>Select a Directory</source>
        <translation>フォルダを選択</translation>
    </message>
</context>
<context>
    <name>Sinogram</name>
    <message>
        <source>Check Sinogram</source>
        <translation>サイノグラム確認</translation>
    </message>
    <message>
        <source>CoR</source>
        <translation>回転中心</translation>
    </message>
    <message>
        <source>Guess CoR</source>
        <translation>回転中心推定</translation>
    </message>
    <message>
        <source>Width of the correlation window, as a fraction of the line length</source>
        <translation>相関をとる範囲の幅(ライン長に対する比)</translation>
    </message>
    <message>
        <source>Alter. Stack</source>
        <translation>交互に並べる</translation>
    </message>
    <message>
        <source>Y Offset</source>
        <translation>Y オフセット</translation>
    </message>
</context>
<context>
    <name>SlicesCtrl</name>
    <message>
        <source>Load Slices</source>
        <translation>スライス読み込み</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>表示</translation>
    </message>
    <message>
        <source>Color Scale: </source>
        <translation>カラースケール: </translation>
    </message>
    <message>
        <source>min</source>
        <translation>最小</translation>
    </message>
    <message>
        <source>max</source>
        <translation>最大</translation>
    </message>
    <message>
        <source>Show Volume</source>
        <translation>ボリューム表示</translation>
    </message>
    <message>
        <source>Show C. Section</source>
        <translation>断面表示</translation>
    </message>
    <message>
        <source>Show Frame</source>
        <translation>枠表示</translation>
    </message>
    <message>
        <source>Cross Section</source>
        <translation>断面</translation>
    </message>
    <message>
        <source>Fix Dir.</source>
        <translation>方向固定</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>選択</translation>
    </message>
    <message>
        <source>V Color</source>
        <translation>V 色</translation>
    </message>
    <message>
        <source>S Color</source>
        <translation>S 色</translation>
    </message>
    <message>
        <source>a</source>
        <translation>a</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Opacity of the object. &lt;/p&gt;&lt;p&gt;255 : no transpparency (anything behind is invisible )&lt;/p&gt;&lt;p&gt;0 : perfectry transparent ( the object itself is invisible )&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;物体の不透明度。&lt;/p&gt;&lt;p&gt;255 : 透明でない (後ろにあるものは見えない)&lt;/p&gt;&lt;p&gt;0 : 完全に透明 (物体自体が見えない)&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Select Data Files</source>
        <translation>データファイルの選択</translation>
    </message>
    <message>
        <source>Data Files (*.dat *.png)</source>
        <translation>データファイル (*.dat *.png)</translation>
    </message>
    <message>
        <source>Any Files (* *.*)</source>
        <translation>すべてのファイル (* *.*)</translation>
    </message>
    <message>
        <source>Select Volume Color</source>
        <translation>ボリュームの色を選択</translation>
    </message>
    <message>
        <source>Select Section Color</source>
        <translation>断面の色を選択</translation>
    </message>
</context>
<context>
    <name>XafsBatch</name>
    <message>
        <source>Data Loading</source>
        <translation>データ読み込み中</translation>
    </message>
    <message>
        <source>Calculating</source>
        <translation>計算中</translation>
    </message>
    <message>
        <source>Finished Calc.</source>
        <translation>計算終了</translation>
    </message>
    <message>
        <source>Finished</source>
        <translation>終了</translation>
    </message>
</context>
<context>
    <name>RunFaults</name>
    <message>
        <source>batch file %1 could not be read</source>
        <translation>バッチファイル %1 を読めませんでした</translation>
    </message>
    <message>
        <source>reconstruction runs without images: %1</source>
        <translation>画像なしで始まった再構成: %1 回</translation>
    </message>
    <message>
        <source>%1 of %2 result files could not be written</source>
        <translation>結果ファイル %2 個のうち %1 個を書き込めませんでした</translation>
    </message>
    <message>
        <source>runs stopped, detector lines unreadable: %1</source>
        <translation>検出器ラインを読めずに止まった再構成: %1 回</translation>
    </message>
    <message>
        <source>result files written: %1</source>
        <translation>書き込んだ結果ファイル: %1 個</translation>
    </message>
    <message>
        <source>Failed (status %1): %2</source>
        <translation>失敗 (終了コード %1): %2</translation>
    </message>
    <message>
        <source>slices without all their result files: %1</source>
        <translation>結果ファイルの欠けたスライス: %1 個</translation>
    </message>
</context>
</TS>
