<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>AmbientDoseEditor</name>
    <message>
        <source>クベース天井高</source>
        <translation>Lid height</translation>
    </message>
    <message>
        <source>周辺線量実測値データ編集</source>
        <translation>Edit measured ambient dose data</translation>
    </message>
    <message>
        <source>線束中心から側方へ30cmの位置における</source>
        <translation>At 30 cm lateral to the beam centre:</translation>
    </message>
    <message>
        <source>1 mAs 当たりの 周辺線量当量</source>
        <translation>Ambient dose equivalent per 1 mAs</translation>
    </message>
    <message>
        <source>使用する最大の照射野（安全側評価のため）</source>
        <translation>Largest field used (conservative)</translation>
    </message>
    <message>
        <source>水ファントム厚&#x3000;10 cm</source>
        <translation>Water phantom 10 cm</translation>
    </message>
    <message>
        <source>1 cm 線量当量 (μSv/mAs)</source>
        <translation>H*(10) (μSv/mAs)</translation>
    </message>
    <message>
        <source>周辺線量データを保存できませんでした。
</source>
        <translation>The ambient dose data could not be saved.
</translation>
    </message>
    <message>
        <source>新しいデータを保存しました</source>
        <translation>The new data have been saved</translation>
    </message>
    <message>
        <source>0 以上の数値（μSv/mAs）</source>
        <translation>a number of 0 or more (μSv/mAs)</translation>
    </message>
</context>
<context>
    <name>BasicDataEditor</name>
    <message>
        <source>TAMSO 基本データ</source>
        <translation>TAMSO Basic data</translation>
    </message>
    <message>
        <source>医療施設名</source>
        <translation>Facility</translation>
    </message>
    <message>
        <source>撮影装置名</source>
        <translation>X-ray unit</translation>
    </message>
    <message>
        <source>参考レベル</source>
        <translation>Ref. level</translation>
    </message>
    <message>
        <source>基本データを読み込めません。
</source>
        <translation>The basic data cannot be read.
</translation>
    </message>
    <message>
        <source>基本データを保存できませんでした。
</source>
        <translation>The basic data could not be saved.
</translation>
    </message>
    <message>
        <source>基本データを保存しました。</source>
        <translation>The basic data have been saved.</translation>
    </message>
    <message>
        <source>0 より大きい数値（eV）</source>
        <translation>a number above 0 (eV)</translation>
    </message>
    <message>
        <source>Ｘ線管ターゲット角度（度）</source>
        <translation>Target angle (degree)</translation>
    </message>
    <message>
        <source>固有フィルタ（mm Al）</source>
        <translation>Filtration (mm Al)</translation>
    </message>
    <message>
        <source>空気のW値（eV）</source>
        <translation>W value (eV)</translation>
    </message>
    <message>
        <source>基本データを保存する</source>
        <translation>Save the basic data</translation>
    </message>
    <message>
        <source>保存せずに閉じる</source>
        <translation>Close without saving</translation>
    </message>
    <message>
        <source>空気のW値</source>
        <translation>W value</translation>
    </message>
</context>
<context>
    <name>ConditionsScreen</name>
    <message>
        <source>DICOM読込</source>
        <translation>DICOM</translation>
    </message>
    <message>
        <source>DICOM (*.dcm *.DCM *.dicom DICOMDIR);;すべてのファイル (*)</source>
        <translation>DICOM (*.dcm *.DCM *.dicom DICOMDIR);;All files (*)</translation>
    </message>
    <message>
        <source>DICOMDIR の画像を選んで下さい</source>
        <translation>Choose an image of the DICOMDIR</translation>
    </message>
    <message>
        <source>患児の入射表面線量</source>
        <translation>Entrance surface dose of the infant</translation>
    </message>
    <message>
        <source>周辺線量当量 </source>
        <translation>Ambient dose equivalent </translation>
    </message>
    <message>
        <source>   参考レベル</source>
        <translation>Ref. level</translation>
    </message>
    <message>
        <source>参考レベル</source>
        <translation>Reference level</translation>
    </message>
    <message>
        <source>スペクトル表示</source>
        <translation>Spectrum</translation>
    </message>
    <message>
        <source>撮影日</source>
        <translation>Exam date</translation>
    </message>
    <message>
        <source>DICOM画像から撮影条件を読み込みます</source>
        <translation>Reads the exposure conditions from a DICOM image</translation>
    </message>
    <message>
        <source>として計算しています。</source>
        <translation>used for the calculation.</translation>
    </message>
    <message>
        <source>焦点から１ｍの距離の照射線量</source>
        <translation>Exposure at 1 m from the focus</translation>
    </message>
    <message>
        <source>出力データを利用</source>
        <translation>Output data</translation>
    </message>
    <message>
        <source>出力データ編集</source>
        <translation>Edit output</translation>
    </message>
    <message>
        <source>出力データ名</source>
        <translation>Output data</translation>
    </message>
    <message>
        <source>実測値を直接入力</source>
        <translation>Measured</translation>
    </message>
    <message>
        <source>実測値</source>
        <translation>Measured</translation>
    </message>
    <message>
        <source>照射線量 at １ｍ</source>
        <translation>Exposure at 1 m</translation>
    </message>
    <message>
        <source>照射条件 (１)</source>
        <translation>Exposure conditions (1)</translation>
    </message>
    <message>
        <source>撮影装置名</source>
        <translation>X-ray unit</translation>
    </message>
    <message>
        <source> フード・カバー（PMMA ）</source>
        <translation>Hood/cover (PMMA)</translation>
    </message>
    <message>
        <source>(固定値)</source>
        <translation>(fixed)</translation>
    </message>
    <message>
        <source>照射条件 (２)</source>
        <translation>Exposure conditions (2)</translation>
    </message>
    <message>
        <source>   照射部位</source>
        <translation>Body part</translation>
    </message>
    <message>
        <source> 受像器面での照射野サイズ</source>
        <translation>Field size at receptor</translation>
    </message>
    <message>
        <source>介助者の被ばく線量</source>
        <translation>Dose to caregivers</translation>
    </message>
    <message>
        <source>周辺線量</source>
        <translation>Ambient</translation>
    </message>
    <message>
        <source>計算する</source>
        <translation>Calculate</translation>
    </message>
    <message>
        <source>周辺線量の実測データ編集</source>
        <translation>Edit ambient data</translation>
    </message>
    <message>
        <source>周辺線量当量</source>
        <translation>Ambient dose eq.</translation>
    </message>
    <message>
        <source>報告書へ</source>
        <translation>To the report</translation>
    </message>
    <message>
        <source>Ｘ線管</source>
        <translation>X-ray tube</translation>
    </message>
    <message>
        <source>保育器</source>
        <translation>Incubator</translation>
    </message>
    <message>
        <source>患児</source>
        <translation>Infant</translation>
    </message>
    <message>
        <source>線量計</source>
        <translation>Dosimeter</translation>
    </message>
    <message>
        <source> には一般撮影（CR・DX）の画像がありません。</source>
        <translation> holds no radiography (CR/DX) image.</translation>
    </message>
    <message>
        <source>照射部位</source>
        <translation>Body part</translation>
    </message>
    <message>
        <source>患者ID</source>
        <translation>Patient ID</translation>
    </message>
    <message>
        <source>氏名</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>DICOM画像に次の項目がありません。空欄は入力してから計算してください。
</source>
        <translation>The DICOM image lacks these items. Type the empty ones before the calculation.
</translation>
    </message>
    <message>
        <source>DICOMから入力（%1）</source>
        <translation>From DICOM (%1)</translation>
    </message>
    <message>
        <source>（既定の%1を使用）</source>
        <translation> (the default %1 is used)</translation>
    </message>
    <message>
        <source>DICOMから入力（画像にないため %1）</source>
        <translation>From DICOM (not in the image: %1)</translation>
    </message>
    <message>
        <source>DICOM画像にありません（%1）。入力してください</source>
        <translation>Not in the DICOM image (%1). Type it</translation>
    </message>
    <message>
        <source>%1 mGy の %2 倍</source>
        <translation>%2 × %1 mGy</translation>
    </message>
    <message>
        <source>（参考レベル超過）</source>
        <translation> (above the reference level)</translation>
    </message>
    <message>
        <source>参考レベル </source>
        <translation>Reference level </translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>・</source>
        <translation>- </translation>
    </message>
    <message>
        <source>…ほか %1 件</source>
        <translation>… and %1 more</translation>
    </message>
    <message>
        <source>次の項目は開きませんでした。
</source>
        <translation>These records were not opened:
</translation>
    </message>
    <message>
        <source>照射野サイズ</source>
        <translation>Field size</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>体重</source>
        <translation>Weight</translation>
    </message>
    <message>
        <source>不明なら空欄</source>
        <translation>empty if unknown</translation>
    </message>
    <message>
        <source>空欄のときは作業フォルダの体重既定値.txt の値を使います</source>
        <translation>When empty, the weight in 体重既定値.txt of the working folder is used</translation>
    </message>
    <message>
        <source>   実効線量</source>
        <translation>Effective dose</translation>
    </message>
    <message>
        <source>臓器線量</source>
        <translation>Organ doses</translation>
    </message>
    <message>
        <source>実効線量（ICRP 103）と拡張不確かさ</source>
        <translation>Effective dose (ICRP 103) with its expanded uncertainty</translation>
    </message>
    <message>
        <source>実効線量 </source>
        <translation>Effective dose </translation>
    </message>
    <message>
        <source>計算できません</source>
        <translation>Not available</translation>
    </message>
</context>
<context>
    <name>DicomImport</name>
    <message>
        <source>、撮影部位がわからないため記録と既定値も使えません</source>
        <translation>; without a body part neither the infant&apos;s records nor the site&apos;s defaults can give it</translation>
    </message>
    <message>
        <source>画像に BodyPartThickness (0018,11A0) がなく、同じ撮影部位「</source>
        <translation>the image has no BodyPartThickness (0018,11A0), and neither a record of the body part &quot;</translation>
    </message>
    <message>
        <source>」の記録も 被写体厚既定値.txt の既定値もありません</source>
        <translation>&quot; nor a default in 被写体厚既定値.txt gives one</translation>
    </message>
    <message>
        <source> がありません</source>
        <translation> missing</translation>
    </message>
    <message>
        <source> の値 </source>
        <translation> value </translation>
    </message>
    <message>
        <source> は使えません</source>
        <translation> cannot be used</translation>
    </message>
    <message>
        <source> は日付として読めません</source>
        <translation> cannot be read as a date</translation>
    </message>
    <message>
        <source>対応表 </source>
        <translation>mapping </translation>
    </message>
    <message>
        <source> にありません</source>
        <translation> has no entry</translation>
    </message>
    <message>
        <source>（</source>
        <translation> (</translation>
    </message>
    <message>
        <source>）</source>
        <translation>)</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>DoseAuditWindow</name>
    <message>
        <source>TAMSO 参考レベル監査</source>
        <translation>TAMSO DRL audit</translation>
    </message>
    <message>
        <source>期間</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>全期間</source>
        <translation>All</translation>
    </message>
    <message>
        <source>期間の初日</source>
        <translation>First day of the period</translation>
    </message>
    <message>
        <source>期間の最終日</source>
        <translation>Last day of the period</translation>
    </message>
    <message>
        <source>集計</source>
        <translation>Summarize</translation>
    </message>
    <message>
        <source>撮影部位ごとの集計</source>
        <translation>Summary by body part</translation>
    </message>
    <message>
        <source>撮影部位ごとの箱ひげ図と参考レベル</source>
        <translation>Box plots by body part and reference levels</translation>
    </message>
    <message>
        <source>入射表面線量の分布（箱: 25～75 パーセンタイル、線: 中央値）</source>
        <translation>Entrance surface dose (box: 25th-75th percentile, line: median)</translation>
    </message>
    <message>
        <source>入射表面線量 (mGy)</source>
        <translation>Dose (mGy)</translation>
    </message>
    <message>
        <source>集計から除いたもの・読めなかったもの</source>
        <translation>Left out or unreadable</translation>
    </message>
    <message>
        <source>CSV 出力</source>
        <translation>CSV</translation>
    </message>
    <message>
        <source>印刷</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>PDF 出力</source>
        <translation>PDF</translation>
    </message>
    <message>
        <source>期間の初日が最終日より後になっています。</source>
        <translation>The first day of the period is after the last day.</translation>
    </message>
    <message>
        <source>期間: </source>
        <translation>Period: </translation>
    </message>
    <message>
        <source>参考線量.dat を読めないため参考レベルとは比較しません</source>
        <translation>参考線量.dat cannot be read: no DRL comparison</translation>
    </message>
    <message>
        <source>参考線量.dat がないため参考レベルとは比較しません</source>
        <translation>No 参考線量.dat: no DRL comparison</translation>
    </message>
    <message>
        <source>参考レベル: 参考線量.dat（各撮影部位の最初の行）</source>
        <translation>DRLs: 参考線量.dat (first row of each body part)</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>参考レベル</source>
        <translation>Reference level</translation>
    </message>
    <message>
        <source>参考レベル監査（ICRP Publication 135: 施設の中央値を診断参考レベルと比較）</source>
        <translation>DRL audit (ICRP Publication 135: facility median against the diagnostic reference level)</translation>
    </message>
    <message>
        <source>医療施設: %1&#x3000;&#x3000;期間: %2&#x3000;&#x3000;作成日: %3</source>
        <translation>Facility: %1    Period: %2    Created: %3</translation>
    </message>
    <message>
        <source>（期間内に線量のある記録はありません）</source>
        <translation>(no records with a dose in the period)</translation>
    </message>
    <message>
        <source>CSV ファイルを保存できませんでした。
</source>
        <translation>The CSV file could not be saved.
</translation>
    </message>
    <message>
        <source>PDF ファイルを保存できませんでした。
</source>
        <translation>The PDF file could not be saved.
</translation>
    </message>
    <message>
        <source>CSV ファイルに保存しました。</source>
        <translation>Saved to a CSV file.</translation>
    </message>
    <message>
        <source>PDF ファイルに保存しました。</source>
        <translation>Saved to a PDF file.</translation>
    </message>
    <message>
        <source>～</source>
        <translation>-</translation>
    </message>
    <message>
        <source>集計した撮影 %1 件（患児 %2 人）、撮影日が読めない記録 %3 件、線量のない記録 %4 件</source>
        <translation>%1 exposures counted (%2 infants), %3 with an unreadable date, %4 without a dose</translation>
    </message>
    <message>
        <source>実効線量（体重は既定値）: 実効線量を計算できない記録 %1 件（中央値から除きました）</source>
        <translation>Effective doses (default weight): %1 records whose effective dose cannot be computed (left out of the median)</translation>
    </message>
    <message>
        <source>読めない記録ファイル: %1</source>
        <translation>Unreadable record file: %1</translation>
    </message>
    <message>
        <source>撮影日が読めない記録: %1 の %2 件目（撮影日「%3」）。期間を指定していないため集計に含めました</source>
        <translation>Unreadable date: record %2 of %1 (date “%3”). Counted, as no period is chosen</translation>
    </message>
    <message>
        <source>撮影日が読めない記録: %1 の %2 件目（撮影日「%3」）。期間に入るか判らないため集計から除きました</source>
        <translation>Unreadable date: record %2 of %1 (date “%3”). Left out, as it may not lie in the period</translation>
    </message>
    <message>
        <source>線量のない記録: %1 の %2 件目（入射表面線量「%3」）。集計から除きました</source>
        <translation>No dose: record %2 of %1 (entrance surface dose “%3”). Left out</translation>
    </message>
    <message>
        <source>・</source>
        <translation>- </translation>
    </message>
    <message>
        <source>記録ファイル %1 件（読めないもの %2 件、除いたもの %3 件）</source>
        <translation>%1 record files (%2 unreadable, %3 left out)</translation>
    </message>
    <message>
        <source>記録ファイル %1 件（読めないもの %2 件）</source>
        <translation>%1 record files (%2 unreadable)</translation>
    </message>
    <message>
        <source>、記録 %1 件、期間内 %2 件</source>
        <translation>, %1 records, %2 in the period</translation>
    </message>
    <message>
        <source>除いた記録ファイル: %1</source>
        <translation>Record file left out: %1</translation>
    </message>
    <message>
        <source>、取り消した記録 %1 件</source>
        <translation>, withdrawn records %1</translation>
    </message>
    <message>
        <source>取り消した記録: %1 の %2 件目（理由「%3」）。集計から除きました</source>
        <translation>Withdrawn: record %2 of %1 (reason “%3”). Left out</translation>
    </message>
    <message>
        <source>適用していない取り消し: %1</source>
        <translation>Withdrawal not applied: %1</translation>
    </message>
</context>
<context>
    <name>DoseHistoryModel</name>
    <message>
        <source>取り消した記録（%1、%2）: %3</source>
        <translation>Withdrawn (%1, %2): %3</translation>
    </message>
    <message>
        <source>実効線量(μSv)</source>
        <translation>Effective dose (μSv)</translation>
    </message>
    <message>
        <source>累積実効線量(μSv)</source>
        <translation>Cumulative effective dose (μSv)</translation>
    </message>
    <message>
        <source>計算できません</source>
        <translation>Not available</translation>
    </message>
    <message>
        <source> 以上（実効線量を計算できない記録 %1 件）</source>
        <translation> or more (%1 records without an effective dose)</translation>
    </message>
    <message>
        <source>（体重 %1 kg は既定値）</source>
        <translation> (weight %1 kg assumed: site default)</translation>
    </message>
</context>
<context>
    <name>DoseHistoryPages</name>
    <message>
        <source>1 回の入射表面線量 (mGy)</source>
        <translation>Entrance surface dose per exposure (mGy)</translation>
    </message>
    <message>
        <source>累積線量 (mGy)</source>
        <translation>Cumulative dose (mGy)</translation>
    </message>
    <message>
        <source>累積実効線量 (μSv)</source>
        <translation>Cumulative effective dose (μSv)</translation>
    </message>
    <message>
        <source>撮影日</source>
        <translation>Exam date</translation>
    </message>
    <message>
        <source>(日付なし)</source>
        <translation>(no date)</translation>
    </message>
    <message>
        <source>1 回の線量 (mGy)</source>
        <translation>Dose per exposure (mGy)</translation>
    </message>
    <message>
        <source>ID No.: %1&#x3000;&#x3000;氏名 : %2</source>
        <translation>ID No.: %1    Name: %2</translation>
    </message>
    <message>
        <source>TAMSO in NICU&#x3000;患児の被ばく線量履歴</source>
        <translation>TAMSO in NICU  Dose history of the infant</translation>
    </message>
    <message>
        <source>&#x3000;&#x3000;撮影回数 : %1 回&#x3000;&#x3000;累積入射表面線量 : %2 mGy</source>
        <translation>    Exposures: %1    Cumulative entrance surface dose: %2 mGy</translation>
    </message>
    <message>
        <source> 以上 ※</source>
        <translation> or more *</translation>
    </message>
    <message>
        <source>患児の被ばく線量履歴（続き）&#x3000;&#x3000;</source>
        <translation>Dose history of the infant (continued)    </translation>
    </message>
    <message>
        <source>※ 線量のない記録（未計算、負の値など）は累積線量に 0 として加えています。累積線量はその分を含まない下限値です。</source>
        <translation>* A record without a dose (not calculated, negative, ...) is added to the cumulative dose as 0: the cumulative dose is a lower bound.</translation>
    </message>
    <message>
        <source>（取消 %1 件を除く）</source>
        <translation> (%1 withdrawn left out)</translation>
    </message>
    <message>
        <source>&#x3000;&#x3000;累積実効線量 : %1</source>
        <translation>    Cumulative effective dose: %1</translation>
    </message>
</context>
<context>
    <name>DoseHistoryWindow</name>
    <message>
        <source>TAMSO Ⅱ 線量履歴</source>
        <translation>TAMSO Ⅱ Dose history</translation>
    </message>
    <message>
        <source>患児と累積線量</source>
        <translation>Infant and cumulative dose</translation>
    </message>
    <message>
        <source>印刷</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>PDF保存</source>
        <translation>Save PDF</translation>
    </message>
    <message>
        <source>線量履歴のページ</source>
        <translation>Dose history pages</translation>
    </message>
    <message>
        <source>線量履歴</source>
        <translation>Dose history</translation>
    </message>
    <message>
        <source>ID No.: %1&#x3000;氏名 : %2&#x3000;撮影回数 : %3 回&#x3000;累積入射表面線量 : %4 mGy</source>
        <translation>ID No.: %1  Name: %2  Exposures: %3  Cumulative entrance surface dose: %4 mGy</translation>
    </message>
    <message>
        <source> 以上（線量のない記録 %1 件）</source>
        <translation> or more (%1 records without a dose)</translation>
    </message>
    <message>
        <source>TAMSO Ⅱ 線量履歴 - </source>
        <translation>TAMSO Ⅱ Dose history - </translation>
    </message>
    <message>
        <source>プリンタの準備はＯＫですか？</source>
        <translation>Is the printer ready?</translation>
    </message>
    <message>
        <source>PDF ファイル「%1」に保存しました。</source>
        <translation>Saved to the PDF file &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>（取り消した記録 %1 件を除く）</source>
        <translation> (%1 withdrawn records left out)</translation>
    </message>
    <message>
        <source>&#x3000;累積実効線量 : %1</source>
        <translation>  Cumulative effective dose: %1</translation>
    </message>
</context>
<context>
    <name>ExposureInputs</name>
    <message>
        <source> Ｘ線管ターゲット角度</source>
        <translation>Target angle</translation>
    </message>
    <message>
        <source>&#x3000;度</source>
        <translation>deg</translation>
    </message>
    <message>
        <source> 固有フィルタ（アルミ当量）</source>
        <translation>Inherent filter (Al eq.)</translation>
    </message>
    <message>
        <source> 付加フィルタ（アルミ）</source>
        <translation>Added filter (Al)</translation>
    </message>
    <message>
        <source> 付加フィルタ&#x3000;（ 銅 ）</source>
        <translation>Added filter (Cu)</translation>
    </message>
    <message>
        <source>&#x3000; Ｘ線管電圧</source>
        <translation>Tube voltage</translation>
    </message>
    <message>
        <source>   Ｘ線管電流×照射時間</source>
        <translation>mAs</translation>
    </message>
    <message>
        <source> 焦点-受像器間距離（FFD）</source>
        <translation>SID (FFD)</translation>
    </message>
    <message>
        <source>&#x3000; 被写体厚</source>
        <translation>Patient thickness</translation>
    </message>
    <message>
        <source> 焦点-フード・カバー間距離</source>
        <translation>Focus-hood distance</translation>
    </message>
    <message>
        <source> 照射野サイズ（長軸方向）</source>
        <translation>Field size (long axis)</translation>
    </message>
    <message>
        <source> 照射野サイズ（単軸方向）</source>
        <translation>Field size (short axis)</translation>
    </message>
    <message>
        <source>実測値</source>
        <translation>Measured</translation>
    </message>
    <message>
        <source>フード・カバー透過後</source>
        <translation>Behind the hood</translation>
    </message>
    <message>
        <source>散乱線を付加</source>
        <translation>With scatter</translation>
    </message>
    <message>
        <source>&#x3000;  第１半価層</source>
        <translation>1st HVL</translation>
    </message>
    <message>
        <source>     第２半価層</source>
        <translation>2nd HVL</translation>
    </message>
    <message>
        <source>&#x3000;  実効エネルギー</source>
        <translation>Effective energy</translation>
    </message>
    <message>
        <source>&#x3000;  線質指標 （ QI )</source>
        <translation>Quality index (QI)</translation>
    </message>
    <message>
        <source>   後方散乱係数</source>
        <translation>Backscatter factor</translation>
    </message>
    <message>
        <source>   吸収線量変換係数</source>
        <translation>Dose conversion factor</translation>
    </message>
    <message>
        <source>   入射表面線量</source>
        <translation>Entrance surface dose</translation>
    </message>
    <message>
        <source>   不確かさ</source>
        <translation>Uncertainty</translation>
    </message>
</context>
<context>
    <name>IllustrationWindow</name>
    <message>
        <source>保育器外側の周辺線量当量評価点</source>
        <translation>Ambient dose equivalent points outside the incubator</translation>
    </message>
    <message>
        <source>保育器の周辺線量&#x3000;線量評価点</source>
        <translation>Ambient dose around the incubator: evaluation points</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>Main</name>
    <message>
        <source>作業フォルダ「%1」に移れません。</source>
        <translation>Cannot change to the working folder &quot;%1&quot;.</translation>
    </message>
</context>
<context>
    <name>MeasuredExposureDialog</name>
    <message>
        <source>実測値入力</source>
        <translation>Measured exposure</translation>
    </message>
    <message>
        <source>焦点から１ｍの距離の照射線量</source>
        <translation>Exposure at 1 m from the focus</translation>
    </message>
    <message>
        <source>( フード・カバー無しで測定 )</source>
        <translation>(measured without the hood)</translation>
    </message>
    <message>
        <source>入力単位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>照射線量 [ C/kg ]</source>
        <translation>Exposure [ C/kg ]</translation>
    </message>
    <message>
        <source>照射線量   [ R ]</source>
        <translation>Exposure   [ R ]</translation>
    </message>
    <message>
        <source>空気カーマ [ Gy ]</source>
        <translation>Air kerma [ Gy ]</translation>
    </message>
    <message>
        <source>照射線量の実測値</source>
        <translation>Measured exposure</translation>
    </message>
    <message>
        <source>入力例</source>
        <translation>Examples</translation>
    </message>
    <message>
        <source> やめます </source>
        <translation> Cancel </translation>
    </message>
    <message>
        <source>実測値</source>
        <translation>Measured value</translation>
    </message>
</context>
<context>
    <name>NumberInput</name>
    <message>
        <source>「%1」に数値が入力されていません。</source>
        <translation>No number has been entered in “%1”.</translation>
    </message>
    <message>
        <source>「%1」の「%2」は数値ではありません。</source>
        <translation>“%2” in “%1” is not a number.</translation>
    </message>
    <message>
        <source>「%1」の「%2」は大きすぎて扱えません。</source>
        <translation>“%2” in “%1” is too large to use.</translation>
    </message>
    <message>
        <source>「%1」が空欄です。%2を入力して下さい。</source>
        <translation>“%1” is empty. Enter %2.</translation>
    </message>
    <message>
        <source>「%1」の「%2」では計算できません。%3を入力して下さい。</source>
        <translation>“%2” in “%1” cannot be calculated with. Enter %3.</translation>
    </message>
    <message>
        <source>「%1」の「%2」は数値ではありません。%3を入力して下さい。</source>
        <translation>“%2” in “%1” is not a number. Enter %3.</translation>
    </message>
    <message>
        <source>%1 %3 より大きく %2 %3 未満</source>
        <translation>above %1 %3 and below %2 %3</translation>
    </message>
    <message>
        <source>%1 %3 より大きく %2 %3 以下</source>
        <translation>above %1 %3 and up to %2 %3</translation>
    </message>
    <message>
        <source>%1 %3 以上 %2 %3 未満</source>
        <translation>from %1 %3 to below %2 %3</translation>
    </message>
    <message>
        <source>%1 %3 以上 %2 %3 以下</source>
        <translation>from %1 %3 to %2 %3</translation>
    </message>
    <message>
        <source>%1が入力されていません。%2で入力してください。</source>
        <translation>%1 has not been entered. Enter a value %2.</translation>
    </message>
    <message>
        <source>%1の入力値「%2」は数値ではありません。%3で入力してください。</source>
        <translation>“%2” entered for %1 is not a number. Enter a value %3.</translation>
    </message>
    <message>
        <source>%1 %2 %3 は範囲外です。%4で入力してください。</source>
        <translation>%1 of %2 %3 is out of range. Enter a value %4.</translation>
    </message>
</context>
<context>
    <name>OrganDoseWindow</name>
    <message>
        <source>臓器線量</source>
        <translation>Organ doses</translation>
    </message>
    <message>
        <source>実効線量</source>
        <translation>Effective dose</translation>
    </message>
    <message>
        <source>臓器線量の表</source>
        <translation>Table of organ doses</translation>
    </message>
    <message>
        <source>臓器・組織</source>
        <translation>Organ or tissue</translation>
    </message>
    <message>
        <source>吸収線量 (μGy)</source>
        <translation>Absorbed dose (μGy)</translation>
    </message>
    <message>
        <source>臓器線量の分布（正面）</source>
        <translation>Organ doses, front view</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>%1&#x3000;実効線量 %2（ICRP 103）&#x3000;%3</source>
        <translation>%1   Effective dose %2 (ICRP 103)   %3</translation>
    </message>
</context>
<context>
    <name>OrganDoses</name>
    <message>
        <source>体重 %1 kg（既定値）</source>
        <translation>Weight %1 kg (site default, assumed)</translation>
    </message>
    <message>
        <source>体重 %1 kg</source>
        <translation>Weight %1 kg</translation>
    </message>
    <message>
        <source>（体重 %1 kg は既定値）</source>
        <translation> (weight %1 kg assumed: site default)</translation>
    </message>
    <message>
        <source>計算できません（%1）</source>
        <translation>Not available (%1)</translation>
    </message>
</context>
<context>
    <name>ReceivedImagesWindow</name>
    <message>
        <source>取り除き（記録しない）</source>
        <translation>Set aside (not recorded)</translation>
    </message>
    <message>
        <source>選んだ画像の保留の理由</source>
        <translation>Why the chosen image is held</translation>
    </message>
    <message>
        <source>次にすること</source>
        <translation>What to do next</translation>
    </message>
    <message>
        <source>取り除く...</source>
        <translation>Set aside...</translation>
    </message>
    <message>
        <source>選んだ画像を理由を付けて取り除く</source>
        <translation>Set the chosen image aside with a reason</translation>
    </message>
    <message>
        <source>線量レポートの送信先がありません（tamso-node.conf の forward）。</source>
        <translation>No destination is named for dose reports (forward in tamso-node.conf).</translation>
    </message>
    <message>
        <source>線量レポートを送信しています...</source>
        <translation>Sending the dose reports...</translation>
    </message>
    <message>
        <source>送信できませんでした: </source>
        <translation>Could not send: </translation>
    </message>
    <message>
        <source>別の送信が進行中です。終わり次第、送信待ちのレポートも送られます。</source>
        <translation>Another sending round is at work; the waiting reports go when it ends.</translation>
    </message>
    <message>
        <source>今すぐ送信: 送信 %1 件、失敗 %2 件</source>
        <translation>Send now: %1 sent, %2 failed</translation>
    </message>
    <message>
        <source>（%1）。失敗したレポートは次の自動送信の時刻に送り直します。</source>
        <translation> (%1). Failed reports are sent again at their next automatic try.</translation>
    </message>
    <message>
        <source>一覧から画像を選ぶと、保留の理由とすることをここに示します。</source>
        <translation>Choose an image in the list to see here why it is held and what to do.</translation>
    </message>
    <message>
        <source>保留の理由: </source>
        <translation>Held because: </translation>
    </message>
    <message>
        <source>記録</source>
        <translation>Recorded</translation>
    </message>
    <message>
        <source>報告書から記録</source>
        <translation>Recorded via report</translation>
    </message>
    <message>
        <source>派生画像（記録しない）</source>
        <translation>Derived copy (not recorded)</translation>
    </message>
    <message>
        <source>再送（記録済み）</source>
        <translation>Sent again (recorded)</translation>
    </message>
    <message>
        <source>保留</source>
        <translation>Held</translation>
    </message>
    <message>
        <source>読めない画像</source>
        <translation>Unreadable image</translation>
    </message>
    <message>
        <source>TAMSO 受信画像</source>
        <translation>TAMSO received images</translation>
    </message>
    <message>
        <source>保留中の画像（記録されていません）</source>
        <translation>Held images (not recorded)</translation>
    </message>
    <message>
        <source>保留中の画像</source>
        <translation>Held images</translation>
    </message>
    <message>
        <source>受信時刻</source>
        <translation>Received</translation>
    </message>
    <message>
        <source>患者ID</source>
        <translation>Patient ID</translation>
    </message>
    <message>
        <source>氏名</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>撮影日</source>
        <translation>Exam date</translation>
    </message>
    <message>
        <source>撮影部位</source>
        <translation>Body part</translation>
    </message>
    <message>
        <source>保留の理由</source>
        <translation>Why held</translation>
    </message>
    <message>
        <source>条件入力画面で開く</source>
        <translation>Open on conditions screen</translation>
    </message>
    <message>
        <source>最近受信した画像</source>
        <translation>Latest received images</translation>
    </message>
    <message>
        <source>入射表面線量 (mGy)</source>
        <translation>Entrance surface dose (mGy)</translation>
    </message>
    <message>
        <source>記録番号</source>
        <translation>Record no.</translation>
    </message>
    <message>
        <source>結果</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>受信画像の記録を読めません: </source>
        <translation>The received images cannot be read: </translation>
    </message>
    <message>
        <source>保留中の画像はありません。</source>
        <translation>No image is held.</translation>
    </message>
    <message>
        <source>保留中の画像: %1 件</source>
        <translation>Held images: %1</translation>
    </message>
    <message>
        <source>送信待ちの線量レポート</source>
        <translation>Dose reports waiting to be sent</translation>
    </message>
    <message>
        <source>レポート</source>
        <translation>Report</translation>
    </message>
    <message>
        <source>送信先</source>
        <translation>Destination</translation>
    </message>
    <message>
        <source>作成時刻</source>
        <translation>Queued</translation>
    </message>
    <message>
        <source>失敗回数</source>
        <translation>Failed tries</translation>
    </message>
    <message>
        <source>次の送信</source>
        <translation>Next try</translation>
    </message>
    <message>
        <source>前回のエラー</source>
        <translation>Last error</translation>
    </message>
    <message>
        <source>今すぐ送信</source>
        <translation>Send now</translation>
    </message>
    <message>
        <source>送信待ちの線量レポートを読めません: </source>
        <translation>Cannot read the dose reports waiting to be sent: </translation>
    </message>
    <message>
        <source>送信待ちの線量レポートはありません。</source>
        <translation>No dose report is waiting to be sent.</translation>
    </message>
    <message>
        <source>送信待ちの線量レポート: %1 件</source>
        <translation>Dose reports waiting to be sent: %1</translation>
    </message>
</context>
<context>
    <name>RecordSearchScreen</name>
    <message>
        <source>TAMSO Ⅱ データ検索</source>
        <translation>TAMSO Ⅱ Record search</translation>
    </message>
    <message>
        <source>患者ファイル ( ID番号) 選択</source>
        <translation>Patient file (ID)</translation>
    </message>
    <message>
        <source>患者ID</source>
        <translation>Patient ID</translation>
    </message>
    <message>
        <source>患者氏名</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>OK（データ一覧）</source>
        <translation>OK (list)</translation>
    </message>
    <message>
        <source>撮影年月日</source>
        <translation>Exam date</translation>
    </message>
    <message>
        <source>撮影部位</source>
        <translation>Body part</translation>
    </message>
    <message>
        <source>入射表面線量</source>
        <translation>Entrance surface dose</translation>
    </message>
    <message>
        <source>データ一覧</source>
        <translation>Records</translation>
    </message>
    <message>
        <source>OK（報告書に表示）</source>
        <translation>OK (to report)</translation>
    </message>
    <message>
        <source>検索データ番号を選択して下さい。</source>
        <translation>Choose a record.</translation>
    </message>
    <message>
        <source>線量履歴</source>
        <translation>Dose history</translation>
    </message>
    <message>
        <source>選択した患児の全撮影の線量と累積線量</source>
        <translation>Every exposure of the chosen infant with the cumulative dose</translation>
    </message>
    <message>
        <source>患者ファイル「%1」がありません。</source>
        <translation>The patient file &quot;%1&quot; does not exist.</translation>
    </message>
    <message>
        <source>記録取消</source>
        <translation>Withdraw</translation>
    </message>
    <message>
        <source>記録を取り消す</source>
        <translation>Withdraw record</translation>
    </message>
    <message>
        <source>選択した記録を取り消します（線量履歴、累積線量、監査に数えなくなります）</source>
        <translation>Withdraws the chosen record (no longer counted in the dose history, cumulative dose and audit)</translation>
    </message>
    <message>
        <source>取り消し: %1 %2
理由: %3</source>
        <translation>Withdrawn: %1 %2
Reason: %3</translation>
    </message>
    <message>
        <source>（取消）</source>
        <translation>(withdrawn) </translation>
    </message>
    <message>
        <source>この記録は取り消されています。報告書では新しい撮影として扱います。訂正して「データ保存」すると、新しい記録として保存されます。</source>
        <translation>This record is withdrawn. The report takes it as a new exposure; corrected and saved with Data Save, it is stored as a new record.</translation>
    </message>
    <message>
        <source>記録「%1」を取り消しますか？
理由: %2</source>
        <translation>Withdraw the record “%1”?
Reason: %2</translation>
    </message>
    <message>
        <source>記録を取り消しました。</source>
        <translation>The record was withdrawn.</translation>
    </message>
    <message>
        <source>選んだ患児の記録を一覧にします</source>
        <translation>Lists the chosen infant&apos;s records</translation>
    </message>
    <message>
        <source>選んだ記録を報告書に表示します</source>
        <translation>Shows the chosen record on the report</translation>
    </message>
    <message>
        <source>患者ID「%1」の患者ファイルはありません。</source>
        <translation>There is no patient file for patient ID &quot;%1&quot;.</translation>
    </message>
</context>
<context>
    <name>RecordWithdrawDialog</name>
    <message>
        <source>記録を取り消す</source>
        <translation>Withdraw record</translation>
    </message>
    <message>
        <source>取り消す記録: %1</source>
        <translation>Record to withdraw: %1</translation>
    </message>
    <message>
        <source>取り消す記録</source>
        <translation>Record to withdraw</translation>
    </message>
    <message>
        <source>取り消した記録は線量履歴、累積線量、撮影回数、監査に数えなくなります。記録ファイルは変わりません。</source>
        <translation>A withdrawn record no longer counts in the dose history, cumulative dose, exposure number or audit. The record file stays as it is.</translation>
    </message>
    <message>
        <source>取り消しの説明</source>
        <translation>About withdrawing</translation>
    </message>
    <message>
        <source>取り消す人</source>
        <translation>Withdrawn by</translation>
    </message>
    <message>
        <source>取り消しの理由</source>
        <translation>Reason</translation>
    </message>
    <message>
        <source>取り消す</source>
        <translation>Withdraw</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>取り消す人の名前を入力して下さい。</source>
        <translation>Enter who withdraws the record.</translation>
    </message>
    <message>
        <source>取り消しの理由を入力して下さい。</source>
        <translation>Enter the reason for the withdrawal.</translation>
    </message>
</context>
<context>
    <name>ReferenceLevelEditor</name>
    <message>
        <source>比較に使用</source>
        <translation>Compared</translation>
    </message>
    <message>
        <source>比較しない（空欄）</source>
        <translation>Not compared (empty)</translation>
    </message>
    <message>
        <source>参考（比較しない）</source>
        <translation>Note (not compared)</translation>
    </message>
    <message>
        <source>TAMSO 診断参考レベル</source>
        <translation>TAMSO Diagnostic reference levels</translation>
    </message>
    <message>
        <source>撮影部位ごとの診断参考レベル（入射表面線量 mGy）。空欄の撮影部位とは比較しません。</source>
        <translation>Diagnostic reference level per body part (entrance surface dose, mGy). Empty: not compared.</translation>
    </message>
    <message>
        <source>同じ撮影部位の 2 行目以降は参考として保存し、比較には最初の行を使います。</source>
        <translation>Further rows of a body part are kept as notes; the first row is compared.</translation>
    </message>
    <message>
        <source>診断参考レベルの表</source>
        <translation>Table of diagnostic reference levels</translation>
    </message>
    <message>
        <source>撮影部位</source>
        <translation>Body part</translation>
    </message>
    <message>
        <source>参考レベル (mGy)</source>
        <translation>Ref. level (mGy)</translation>
    </message>
    <message>
        <source>出典</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>用途</source>
        <translation>Use</translation>
    </message>
    <message>
        <source>参考レベルを読み込めません。
</source>
        <translation>The reference levels cannot be read.
</translation>
    </message>
    <message>
        <source>
ファイルを直すか削除してから開いて下さい。</source>
        <translation>
Correct or delete the file, then open it again.</translation>
    </message>
    <message>
        <source>撮影部位「%1」の参考レベル「%2」は 0 より大きい数値（mGy）で入力して下さい。</source>
        <translation>Enter the reference level &quot;%2&quot; of the body part &quot;%1&quot; as a number above 0 (mGy).</translation>
    </message>
    <message>
        <source>参考レベルを保存できませんでした。
</source>
        <translation>The reference levels could not be saved.
</translation>
    </message>
    <message>
        <source>参考レベルを保存しました。</source>
        <translation>The reference levels have been saved.</translation>
    </message>
    <message>
        <source>行を追加</source>
        <translation>Add row</translation>
    </message>
    <message>
        <source>行を削除</source>
        <translation>Delete row</translation>
    </message>
    <message>
        <source>上へ</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>下へ</source>
        <translation>Down</translation>
    </message>
</context>
<context>
    <name>ReportLayout</name>
    <message>
        <source>氏名 : </source>
        <translation>Name: </translation>
    </message>
    <message>
        <source>撮影日</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>撮影担当</source>
        <translation>Staff</translation>
    </message>
    <message>
        <source>撮影装置</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>撮影部位</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>被写体厚</source>
        <translation>Thickness</translation>
    </message>
    <message>
        <source>撮影距離</source>
        <translation>FFD</translation>
    </message>
    <message>
        <source>管電圧</source>
        <translation>Voltage</translation>
    </message>
    <message>
        <source>管電流秒</source>
        <translation>mAs</translation>
    </message>
    <message>
        <source>照射野</source>
        <translation>Field</translation>
    </message>
    <message>
        <source>患児の入射表面線量： </source>
        <translation>Entrance surface dose: </translation>
    </message>
    <message>
        <source>介助者の被ばく線量  μSv</source>
        <translation>Dose to caregivers  μSv</translation>
    </message>
    <message>
        <source>備考</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>撮影 </source>
        <translation>No. </translation>
    </message>
    <message>
        <source> 回目&#x3000;累積線量： </source>
        <translation>  Cumulative: </translation>
    </message>
    <message>
        <source> 以上</source>
        <translation> or more</translation>
    </message>
    <message>
        <source>入射表面線量 </source>
        <translation>Entrance surface dose </translation>
    </message>
    <message>
        <source>参考レベル（</source>
        <translation>Reference level (</translation>
    </message>
    <message>
        <source>）</source>
        <translation>) </translation>
    </message>
    <message>
        <source>入射表面線量は手入力の値です（記録値 %1 mGy）</source>
        <translation>Entrance surface dose typed by hand (stored: %1 mGy)</translation>
    </message>
    <message>
        <source>入射表面線量は手入力の値です（計算値 %1 mGy）</source>
        <translation>Entrance surface dose typed by hand (calculated: %1 mGy)</translation>
    </message>
    <message>
        <source>実効線量 </source>
        <translation>Effective dose </translation>
    </message>
</context>
<context>
    <name>ReportScreen</name>
    <message>
        <source>TAMSO Ⅱ 報告書</source>
        <translation>TAMSO Ⅱ Report</translation>
    </message>
    <message>
        <source>氏 名</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>撮影担当</source>
        <translation>Radiographer</translation>
    </message>
    <message>
        <source>追加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>撮影日</source>
        <translation>Exam date</translation>
    </message>
    <message>
        <source>撮影部位</source>
        <translation>Body part</translation>
    </message>
    <message>
        <source>体 厚</source>
        <translation>Thickness</translation>
    </message>
    <message>
        <source>撮影装置</source>
        <translation>X-ray unit</translation>
    </message>
    <message>
        <source>管電圧</source>
        <translation>Tube voltage</translation>
    </message>
    <message>
        <source>電流･秒</source>
        <translation>mAs</translation>
    </message>
    <message>
        <source>照射野</source>
        <translation>Field size</translation>
    </message>
    <message>
        <source>入射表面線量</source>
        <translation>Entrance surface dose</translation>
    </message>
    <message>
        <source>介助者被ばく</source>
        <translation>Caregiver dose</translation>
    </message>
    <message>
        <source>介助者被ばく </source>
        <translation>Caregiver dose </translation>
    </message>
    <message>
        <source>スペクトルも印刷する</source>
        <translation>Print the spectrum too</translation>
    </message>
    <message>
        <source>報告書プレビュー</source>
        <translation>Report preview</translation>
    </message>
    <message>
        <source>プリンタの準備はＯＫですか？</source>
        <translation>Is the printer ready?</translation>
    </message>
    <message>
        <source>撮影回数と累積線量</source>
        <translation>Exposures and cumulative dose</translation>
    </message>
    <message>
        <source>累積線量: 患者ファイルを読み込めません</source>
        <translation>Cumulative dose: the patient file cannot be read</translation>
    </message>
    <message>
        <source>患者ID「%1」の記録の氏名「%2」は、DICOM画像の氏名「%3」と一致しません。
別の患児の記録に保存しないよう、患者IDを確認して下さい。</source>
        <translation>The name stored for patient ID “%1”, “%2”, does not match the name in the DICOM image, “%3”.
Check the patient ID so that the exposure is not saved in another infant&apos;s records.</translation>
    </message>
    <message>
        <source>入射表面線量 %1 mGy は記録されていた %2 mGy と異なります。このまま保存しますか？</source>
        <translation>The entrance surface dose %1 mGy differs from the stored %2 mGy. Save it as it is?</translation>
    </message>
    <message>
        <source>入射表面線量 %1 mGy はこの撮影で計算した %2 mGy と異なります。このまま保存しますか？</source>
        <translation>The entrance surface dose %1 mGy differs from the %2 mGy calculated for this exposure. Save it as it is?</translation>
    </message>
    <message>
        <source>記録は保存しましたが、この撮影の線量レポートは作成していません。
%1</source>
        <translation>The record is saved, but no dose report of this exposure was made.
%1</translation>
    </message>
    <message>
        <source>作業フォルダの tamso-node.conf を読めません: </source>
        <translation>Cannot read tamso-node.conf in the working folder: </translation>
    </message>
    <message>
        <source>この報告書には線量計算の値がありません。</source>
        <translation>This report holds no values of a dose calculation.</translation>
    </message>
    <message>
        <source>撮影条件または入射表面線量が、計算の後に報告書で変更されています。</source>
        <translation>The exposure conditions or the entrance surface dose were changed on the report after the calculation.</translation>
    </message>
    <message>
        <source>「%1」</source>
        <translation>“%1”</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>報告書の%1が、記録されていた撮影条件から変更されています。入射表面線量はこの条件で計算したものではないため、保存できません。撮影条件の画面に戻って計算し直して下さい。</source>
        <translation>%1 on the report differ from the exposure conditions stored with the record. The entrance surface dose was not calculated for these conditions and cannot be saved. Go back to the exposure-condition screen and calculate again.</translation>
    </message>
    <message>
        <source>報告書の%1が、線量を計算した撮影条件から変更されています。入射表面線量はこの条件で計算したものではないため、保存できません。撮影条件の画面に戻って計算し直して下さい。</source>
        <translation>%1 on the report differ from the exposure conditions the dose was calculated with. The entrance surface dose was not calculated for these conditions and cannot be saved. Go back to the exposure-condition screen and calculate again.</translation>
    </message>
    <message>
        <source>「撮影日」が空欄です。「%1」のように日付を入力して下さい。</source>
        <translation>“Exam date” is empty. Enter a date such as “%1”.</translation>
    </message>
    <message>
        <source>「撮影日」の「%1」は日付として読めません。「%2」のように、実在する日付を入力して下さい。</source>
        <translation>“%1” in “Exam date” cannot be read as a date. Enter a real date such as “%2”.</translation>
    </message>
    <message>
        <source>0 以上の数値（mGy）</source>
        <translation>a number of 0 or more (mGy)</translation>
    </message>
    <message>
        <source>報告書を描く</source>
        <translation>Draw the report</translation>
    </message>
    <message>
        <source>報告書を消す</source>
        <translation>Clear the report</translation>
    </message>
    <message>
        <source>報告書を印刷する</source>
        <translation>Print the report</translation>
    </message>
    <message>
        <source>記録を保存する</source>
        <translation>Save the record</translation>
    </message>
    <message>
        <source>報告書の記録はまだ保存されていません（Data Save）。
保存せずに報告書を閉じますか？</source>
        <translation>The record of this report is not saved yet (Data Save).
Close the report without saving?</translation>
    </message>
</context>
<context>
    <name>Shell</name>
    <message>
        <source>この画像はもう保留されていません。</source>
        <translation>This image is no longer held.</translation>
    </message>
    <message>
        <source>線量レポートは作成も送信もしません。
</source>
        <translation>No dose reports will be made or sent.
</translation>
    </message>
</context>
<context>
    <name>SpectrumChart</name>
    <message>
        <source>患児の皮膚面でのＸ線スペクトル（フード・カバー透過後） %1 kV</source>
        <translation>X-ray spectrum at the infant&apos;s skin (behind the hood) %1 kV</translation>
    </message>
    <message>
        <source>相対光子数</source>
        <translation>Relative photons</translation>
    </message>
    <message>
        <source>実効エネルギー</source>
        <translation>Effective energy</translation>
    </message>
    <message>
        <source>光子エネルギー (keV)</source>
        <translation>Photon energy (keV)</translation>
    </message>
    <message>
        <source>相対光子数 (%/0.5 keV)</source>
        <translation>Relative photons (%/0.5 keV)</translation>
    </message>
    <message>
        <source>第１半価層&#x3000;&#x3000; %1 mmAl</source>
        <translation>1st HVL          %1 mmAl</translation>
    </message>
    <message>
        <source>第２半価層&#x3000;&#x3000; %1 mmAl</source>
        <translation>2nd HVL          %1 mmAl</translation>
    </message>
    <message>
        <source>実効エネルギー %1 keV</source>
        <translation>Effective energy %1 keV</translation>
    </message>
    <message>
        <source>線質指標 (QI)&#x3000;%1</source>
        <translation>Quality index (QI) %1</translation>
    </message>
    <message>
        <source>Ｘ線スペクトルと線質</source>
        <translation>X-ray spectrum and beam quality</translation>
    </message>
</context>
<context>
    <name>SpectrumWindow</name>
    <message>
        <source>Ｘ線スペクトル</source>
        <translation>X-ray spectrum</translation>
    </message>
    <message>
        <source>線質</source>
        <translation>Beam quality</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>StartScreen</name>
    <message>
        <source>保育器の乳児を世話する看護師のイラスト</source>
        <translation>Illustration of a nurse caring for an infant in an incubator</translation>
    </message>
    <message>
        <source>イラスト出典</source>
        <translation>Credits</translation>
    </message>
    <message>
        <source>イラスト: TAMSO 開発チーム</source>
        <translation>Illustration: TAMSO developers</translation>
    </message>
    <message>
        <source>新規計算</source>
        <translation>New calculation</translation>
    </message>
    <message>
        <source>データ検索</source>
        <translation>Record search</translation>
    </message>
    <message>
        <source>終&#x3000;了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>基本データ入力</source>
        <translation>Basic data</translation>
    </message>
    <message>
        <source>参考レベル監査</source>
        <translation>DRL audit</translation>
    </message>
    <message>
        <source>ここに病院名が入る</source>
        <translation>Hospital name here</translation>
    </message>
    <message>
        <source>© TAMSO 開発チーム  All rights reserved.</source>
        <translation>© TAMSO developers  All rights reserved.</translation>
    </message>
    <message>
        <source>受信画像</source>
        <translation>Received images</translation>
    </message>
</context>
<context>
    <name>TubeOutputEditor</name>
    <message>
        <source>出力データ編集</source>
        <translation>Edit output</translation>
    </message>
    <message>
        <source>フード・カバー無しの状態での</source>
        <translation>Without the hood,</translation>
    </message>
    <message>
        <source>焦点から１ｍの距離における</source>
        <translation>at 1 m from the focus:</translation>
    </message>
    <message>
        <source>単位mAs当たりの照射線量 [C/kg]</source>
        <translation>exposure per mAs [C/kg]</translation>
    </message>
    <message>
        <source>照射線量</source>
        <translation>Exposure</translation>
    </message>
    <message>
        <source> kV 照射線量</source>
        <translation> kV exposure</translation>
    </message>
    <message>
        <source>測定時の固有を含む濾過 [mm]</source>
        <translation>Total filtration when measured [mm]</translation>
    </message>
    <message>
        <source>この名前のファイルはすでに存在します。上書きしますか？</source>
        <translation>A file of this name exists already. Overwrite it?</translation>
    </message>
    <message>
        <source>出力データを保存できませんでした。
</source>
        <translation>The output data could not be saved.
</translation>
    </message>
    <message>
        <source>%1 kV の照射線量</source>
        <translation>Exposure at %1 kV</translation>
    </message>
    <message>
        <source>0 より大きい数値（C/kg）</source>
        <translation>a number above 0 (C/kg)</translation>
    </message>
    <message>
        <source>0 以上の数値（mm）</source>
        <translation>a number of 0 or more (mm)</translation>
    </message>
</context>
<context>
    <name>core</name>
    <message>
        <source>ファイル「%1」が見つかりません。</source>
        <translation>The file “%1” was not found.</translation>
    </message>
    <message>
        <source>この患児の記録は %1 件を超えたため、続きのファイル「%2」に保存しました。</source>
        <translation>This infant has more than %1 records: saved in the continuation file “%2”.</translation>
    </message>
    <message>
        <source>取り除く人の名前を入力して下さい。</source>
        <translation>Enter the name of the person setting the image aside.</translation>
    </message>
    <message>
        <source>画像を取り除く理由を入力して下さい。</source>
        <translation>Enter why the image is set aside.</translation>
    </message>
    <message>
        <source>この画像はもう保留されていません（記録されたか、取り除かれています）。</source>
        <translation>This image is no longer held (it was recorded or set aside).</translation>
    </message>
    <message>
        <source>集計がまだありません。</source>
        <translation>There is no summary yet.</translation>
    </message>
    <message>
        <source>印刷を始められませんでした。</source>
        <translation>Printing could not start.</translation>
    </message>
    <message>
        <source>印刷を終えられませんでした。</source>
        <translation>Printing could not finish.</translation>
    </message>
    <message>
        <source>印刷を開始できませんでした。プリンタの設定を確認して下さい。</source>
        <translation>Printing could not start. Check the printer settings.</translation>
    </message>
    <message>
        <source>印刷できませんでした。プリンタの設定を確認して下さい。</source>
        <translation>Could not print. Check the printer settings.</translation>
    </message>
    <message>
        <source>線量履歴がありません。</source>
        <translation>There is no dose history.</translation>
    </message>
    <message>
        <source>患者ファイル「%1」がありません。</source>
        <translation>The patient file “%1” does not exist.</translation>
    </message>
    <message>
        <source>患者ID「%1」の記録 %2 がありません。</source>
        <translation>Patient ID “%1” has no record %2.</translation>
    </message>
    <message>
        <source>体重が入力されておらず、既定値も読めません: %1</source>
        <translation>No weight was entered and the default cannot be read: %1</translation>
    </message>
    <message>
        <source>入力された条件に数値として扱えない値があります。</source>
        <translation>Some of the entered conditions are not numbers.</translation>
    </message>
    <message>
        <source>管電圧は 150 kV 未満で入力してください。</source>
        <translation>Enter a tube voltage below 150 kV.</translation>
    </message>
    <message>
        <source>FFD（焦点－受像器間距離）は 0 より大きい値を入力してください。</source>
        <translation>Enter an FFD (focus-receptor distance) above 0.</translation>
    </message>
    <message>
        <source>焦点－皮膚間距離（FFD − 被写体厚）が 0 以下です。FFD と被写体厚を確認してください。</source>
        <translation>The focus-skin distance (FFD − subject thickness) is 0 or less. Check the FFD and the subject thickness.</translation>
    </message>
    <message>
        <source>後方散乱係数のエネルギーが昇順になっていません（mono_dBSF.dat）。</source>
        <translation>The energies of the backscatter factors are not in ascending order (mono_dBSF.dat).</translation>
    </message>
    <message>
        <source>散乱線比の表（s_p_ratio.dat）の距離または照射野面積が昇順になっていません。</source>
        <translation>The distances or field areas of the scatter ratio table (s_p_ratio.dat) are not in ascending order.</translation>
    </message>
    <message>
        <source>組織のエネルギー吸収係数が 0 のため、後方散乱係数を計算できません（Atten2.dat）。</source>
        <translation>The energy absorption coefficient of tissue is 0: the backscatter factor cannot be calculated (Atten2.dat).</translation>
    </message>
    <message>
        <source>Ｘ線管電流×照射時間（mAs）は 0 より大きい値を入力してください。</source>
        <translation>Enter a tube current × time (mAs) above 0.</translation>
    </message>
    <message>
        <source>管電圧が低すぎるため、X線スペクトルを計算できません。</source>
        <translation>The tube voltage is too low to calculate the X-ray spectrum.</translation>
    </message>
    <message>
        <source>ターゲット角度が不正です（正弦が 0 になります）。基礎データまたは入力値を確認してください。</source>
        <translation>The target angle is invalid (its sine is 0). Check the basic data or the input.</translation>
    </message>
    <message>
        <source>周辺線量の表（kaijo_dose.dat）の距離が昇順になっていません。周辺線量の表を確認してください。</source>
        <translation>The distances of the ambient dose table (kaijo_dose.dat) are not in ascending order. Check the ambient dose table.</translation>
    </message>
    <message>
        <source>周辺線量の表（kaijo_dose.dat）の最後の距離が 120 cm に届いていません。周辺線量の表を確認してください。</source>
        <translation>The last distance of the ambient dose table (kaijo_dose.dat) is below 120 cm. Check the ambient dose table.</translation>
    </message>
    <message>
        <source>周辺線量の表（kaijo_dose.dat）の、この FFD と管電圧で使う値がすべて 0 です。周辺線量の表に測定値を入力してください。</source>
        <translation>The values of the ambient dose table (kaijo_dose.dat) for this FFD and tube voltage are all 0. Enter measured values into the ambient dose table.</translation>
    </message>
    <message>
        <source>この条件では X線が皮膚面に届かないため、スペクトルを計算できません。管電圧とフィルタを確認してください。</source>
        <translation>With these conditions no X-rays reach the skin, so the spectrum cannot be calculated. Check the tube voltage and the filters.</translation>
    </message>
    <message>
        <source>照射線量のスペクトルが 0 になるため、フィルタによる照射線量比を計算できません。空気のエネルギー吸収係数（Atten2.dat）とフィルタを確認してください。</source>
        <translation>The exposure spectrum is 0, so the exposure ratio of the filters cannot be calculated. Check the energy absorption coefficients of air (Atten2.dat) and the filters.</translation>
    </message>
    <message>
        <source>半価層が 0 以下になるため、実効エネルギーを求められません。</source>
        <translation>The half-value layer is 0 or less, so the effective energy cannot be found.</translation>
    </message>
    <message>
        <source>アルミニウムの減弱係数表の範囲内に実効エネルギーが見つかりません（Atten2.dat）。</source>
        <translation>No effective energy within the attenuation table of aluminium (Atten2.dat).</translation>
    </message>
    <message>
        <source>起動オプション --workdir には作業フォルダを続けて下さい。</source>
        <translation>The start option --workdir takes a working folder.</translation>
    </message>
    <message>
        <source>ホームフォルダが分からないため、作業フォルダを決められません。起動オプション --workdir で作業フォルダを指定して下さい。</source>
        <translation>The home folder is unknown, so no working folder can be chosen. Name one with the start option --workdir.</translation>
    </message>
    <message>
        <source>撮影部位が空の参考レベルは保存できません。</source>
        <translation>A reference level without a body part cannot be saved.</translation>
    </message>
    <message>
        <source>氏名に改行を含めることはできません。</source>
        <translation>A name cannot contain a line break.</translation>
    </message>
    <message>
        <source>Ｘ線管ターゲット角度</source>
        <translation>X-ray tube target angle</translation>
    </message>
    <message>
        <source>固有フィルタ（アルミ当量）</source>
        <translation>Inherent filtration (Al equivalent)</translation>
    </message>
    <message>
        <source>付加フィルタ（アルミ）</source>
        <translation>Added filter (Al)</translation>
    </message>
    <message>
        <source>付加フィルタ（銅）</source>
        <translation>Added filter (Cu)</translation>
    </message>
    <message>
        <source>Ｘ線管電圧</source>
        <translation>Tube voltage</translation>
    </message>
    <message>
        <source>Ｘ線管電流×照射時間</source>
        <translation>Tube current × exposure time</translation>
    </message>
    <message>
        <source>焦点-受像器間距離（FFD）</source>
        <translation>Focus-receptor distance (FFD)</translation>
    </message>
    <message>
        <source>被写体厚</source>
        <translation>Subject thickness</translation>
    </message>
    <message>
        <source>焦点-フード・カバー間距離</source>
        <translation>Focus-hood/cover distance</translation>
    </message>
    <message>
        <source>照射野サイズ（長軸方向）</source>
        <translation>Field size (long axis)</translation>
    </message>
    <message>
        <source>照射野サイズ（短軸方向）</source>
        <translation>Field size (short axis)</translation>
    </message>
    <message>
        <source>度</source>
        <translation>degrees</translation>
    </message>
    <message>
        <source>患者IDおよび氏名を入力して下さい</source>
        <translation>Enter the patient ID and name</translation>
    </message>
    <message>
        <source>このデータを保存しますか？</source>
        <translation>Save these data?</translation>
    </message>
    <message>
        <source>データを保存しました。</source>
        <translation>The data have been saved.</translation>
    </message>
    <message>
        <source>同じ記録が既に保存されています。もう一度保存しますか？</source>
        <translation>The same record has been saved already. Save it once more?</translation>
    </message>
    <message>
        <source>撮影日</source>
        <translation>Exam date</translation>
    </message>
    <message>
        <source>撮影部位</source>
        <translation>Body part</translation>
    </message>
    <message>
        <source>管電圧(kV)</source>
        <translation>kV</translation>
    </message>
    <message>
        <source>電流･秒(mAs)</source>
        <translation>mAs</translation>
    </message>
    <message>
        <source>照射野</source>
        <translation>Field size</translation>
    </message>
    <message>
        <source>入射表面線量(mGy)</source>
        <translation>ESD (mGy)</translation>
    </message>
    <message>
        <source>累積線量(mGy)</source>
        <translation>Cumulative (mGy)</translation>
    </message>
    <message>
        <source>介助者被ばく1(μSv)</source>
        <translation>Caregiver 1 (μSv)</translation>
    </message>
    <message>
        <source>介助者被ばく2(μSv)</source>
        <translation>Caregiver 2 (μSv)</translation>
    </message>
    <message>
        <source>介助者被ばく3(μSv)</source>
        <translation>Caregiver 3 (μSv)</translation>
    </message>
    <message>
        <source>注記</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>線量が数値でないため累積に 0 として加算</source>
        <translation>Not a number: added to the cumulative dose as 0</translation>
    </message>
    <message>
        <source>撮影数</source>
        <translation>Exposures</translation>
    </message>
    <message>
        <source>患児数</source>
        <translation>Infants</translation>
    </message>
    <message>
        <source>中央値 (mGy)</source>
        <translation>Median (mGy)</translation>
    </message>
    <message>
        <source>75パーセンタイル (mGy)</source>
        <translation>75th pct. (mGy)</translation>
    </message>
    <message>
        <source>最小 (mGy)</source>
        <translation>Min. (mGy)</translation>
    </message>
    <message>
        <source>最大 (mGy)</source>
        <translation>Max. (mGy)</translation>
    </message>
    <message>
        <source>参考レベル (mGy)</source>
        <translation>DRL (mGy)</translation>
    </message>
    <message>
        <source>中央値/参考レベル</source>
        <translation>Median/DRL</translation>
    </message>
    <message>
        <source>判定</source>
        <translation>Verdict</translation>
    </message>
    <message>
        <source>実効線量 中央値 (μSv)</source>
        <translation>Median effective dose (μSv)</translation>
    </message>
    <message>
        <source>超過</source>
        <translation>Above</translation>
    </message>
    <message>
        <source>以下</source>
        <translation>Below</translation>
    </message>
    <message>
        <source>線量レポートを送信しているところです。しばらくしてからもう一度試して下さい。</source>
        <translation>Dose reports are being sent at the moment. Please try again shortly.</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Void</translation>
    </message>
    <message>
        <source>取り消しの理由を入力して下さい。</source>
        <translation>Enter the reason for the withdrawal.</translation>
    </message>
    <message>
        <source>取り消す人の名前を入力して下さい。</source>
        <translation>Enter who withdraws the record.</translation>
    </message>
    <message>
        <source>取り消しの理由または名前に、ファイルに書けない（Shift-JIS にない）文字があります。</source>
        <translation>The reason or the name holds characters the file cannot store (not in Shift-JIS).</translation>
    </message>
    <message>
        <source>体重が分からないため、臓器線量と実効線量は計算できません。体重を入力するか、体重の既定値を作業フォルダの「体重既定値.txt」に書いてください。</source>
        <translation>The weight is unknown, so the organ doses and the effective dose cannot be computed. Enter the weight, or write the default weight into 体重既定値.txt in the working folder.</translation>
    </message>
    <message>
        <source>臓器線量の表が読み込まれていません。</source>
        <translation>The organ-dose table has not been read.</translation>
    </message>
    <message>
        <source>入射表面線量が記録されていません</source>
        <translation>No entrance surface dose is stored</translation>
    </message>
</context>
<context>
    <name>SetAsideDialog</name>
    <message>
        <source>保留中の画像を取り除く</source>
        <translation>Set a held image aside</translation>
    </message>
    <message>
        <source>取り除く画像: %1</source>
        <translation>Image to set aside: %1</translation>
    </message>
    <message>
        <source>取り除く画像</source>
        <translation>Image to set aside</translation>
    </message>
    <message>
        <source>取り除いた画像は記録されず、保留中の一覧から外れます。受信の記録には取り除いた人と理由が残ります。</source>
        <translation>An image set aside is not recorded and leaves the held list. The receipt log keeps who set it aside and why.</translation>
    </message>
    <message>
        <source>取り除きの説明</source>
        <translation>About setting aside</translation>
    </message>
    <message>
        <source>取り除く人</source>
        <translation>Set aside by</translation>
    </message>
    <message>
        <source>取り除く理由</source>
        <translation>Reason</translation>
    </message>
    <message>
        <source>取り除く</source>
        <translation>Set aside</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>取り除く人の名前を入力して下さい。</source>
        <translation>Enter the name of the person setting the image aside.</translation>
    </message>
    <message>
        <source>画像を取り除く理由を入力して下さい。</source>
        <translation>Enter why the image is set aside.</translation>
    </message>
</context>
<context>
    <name>ReceivedImageTexts</name>
    <message>
        <source>画像の氏名を読めないため、患児か確かめられません（</source>
        <translation>The image's name cannot be read, so the infant cannot be confirmed (</translation>
    </message>
    <message>
        <source>」の患者ファイルに氏名がないため、画像の患児か確かめられません</source>
        <translation>”: its patient file has no name, so the image's infant cannot be confirmed</translation>
    </message>
    <message>
        <source>新しい患者IDですが、画像に氏名 (0010,0010) がありません</source>
        <translation>A new patient ID, but the image has no name (0010,0010)</translation>
    </message>
    <message>
        <source>」と一致しません（別の患児の可能性）</source>
        <translation>” (possibly another infant)</translation>
    </message>
    <message>
        <source>」が画像の氏名「</source>
        <translation>” does not match the image's name “</translation>
    </message>
    <message>
        <source>」の氏名「</source>
        <translation>”: the name “</translation>
    </message>
    <message>
        <source>患者ID「</source>
        <translation>Patient ID “</translation>
    </message>
    <message>
        <source>計算できません: </source>
        <translation>Cannot calculate: </translation>
    </message>
    <message>
        <source>同じ撮影の記録が手入力で保存されています（記録 </source>
        <translation>A record of the same exposure was saved by hand (record </translation>
    </message>
    <message>
        <source>）。別の撮影であれば「条件入力画面で開く」から保存してください</source>
        <translation>). If it is another exposure, save it through “Open on conditions screen”</translation>
    </message>
    <message>
        <source>」を記録ファイルに書けません（</source>
        <translation>” cannot be written to the record file (</translation>
    </message>
    <message>
        <source>記録の形式で保存できません: </source>
        <translation>Cannot be saved in the record format: </translation>
    </message>
    <message>
        <source>被写体厚がありません（</source>
        <translation>No subject thickness (</translation>
    </message>
    <message>
        <source>、撮影部位がわからないため記録と既定値も使えません</source>
        <translation>, and without a body part neither records nor defaults can be used</translation>
    </message>
    <message>
        <source>画像に BodyPartThickness (0018,11A0) がなく、同じ撮影部位「</source>
        <translation>The image has no BodyPartThickness (0018,11A0), and for the body part “</translation>
    </message>
    <message>
        <source>」の記録も </source>
        <translation>” there is neither a record nor a default in </translation>
    </message>
    <message>
        <source> の既定値もありません</source>
        <translation> either</translation>
    </message>
    <message>
        <source>管電圧: </source>
        <translation>Tube voltage: </translation>
    </message>
    <message>
        <source>撮影日: </source>
        <translation>Exam date: </translation>
    </message>
    <message>
        <source>撮影部位: </source>
        <translation>Body part: </translation>
    </message>
    <message>
        <source>患者ID: </source>
        <translation>Patient ID: </translation>
    </message>
    <message>
        <source> がありません</source>
        <translation> is missing</translation>
    </message>
    <message>
        <source> の値 </source>
        <translation> value </translation>
    </message>
    <message>
        <source> は使えません</source>
        <translation> cannot be used</translation>
    </message>
    <message>
        <source> は日付として読めません</source>
        <translation> cannot be read as a date</translation>
    </message>
    <message>
        <source> は使える範囲（</source>
        <translation> is outside the usable range (</translation>
    </message>
    <message>
        <source> 以上 </source>
        <translation> to </translation>
    </message>
    <message>
        <source> 以下）の外です</source>
        <translation>)</translation>
    </message>
    <message>
        <source> 未満）の外です</source>
        <translation>, exclusive)</translation>
    </message>
    <message>
        <source> に値が </source>
        <translation> has </translation>
    </message>
    <message>
        <source> つあります（</source>
        <translation> values (</translation>
    </message>
    <message>
        <source>）: どれの値か分からないため使いません</source>
        <translation>): not used, as it is unclear which applies</translation>
    </message>
    <message>
        <source> の値が長すぎます（</source>
        <translation> value is too long (</translation>
    </message>
    <message>
        <source> バイト）</source>
        <translation> bytes)</translation>
    </message>
    <message>
        <source> の文字コード </source>
        <translation>: character set </translation>
    </message>
    <message>
        <source>文字コード </source>
        <translation>character set </translation>
    </message>
    <message>
        <source> の文字を変換できません（</source>
        <translation>: characters cannot be converted (</translation>
    </message>
    <message>
        <source>指定にない文字</source>
        <translation>a character outside the named set</translation>
    </message>
    <message>
        <source>JIS X 0208 にない文字</source>
        <translation>a character not in JIS X 0208</translation>
    </message>
    <message>
        <source>2バイト文字が途中で切れています</source>
        <translation>a two-byte character is cut</translation>
    </message>
    <message>
        <source>未対応のエスケープシーケンス</source>
        <translation>an unsupported escape sequence</translation>
    </message>
    <message>
        <source>この文字コードは使えません</source>
        <translation>this character set cannot be used</translation>
    </message>
    <message>
        <source>取り除き（担当: </source>
        <translation>Set aside (by </translation>
    </message>
    <message>
        <source>取り除いた画像の再送（</source>
        <translation>Sent again after being set aside (</translation>
    </message>
    <message>
        <source>報告書から保存（保留理由: </source>
        <translation>Saved through the report (held because: </translation>
    </message>
    <message>
        <source>、手入力: </source>
        <translation>; typed: </translation>
    </message>
    <message>
        <source>記録済みの画像の再送（</source>
        <translation>Sent again after being recorded (</translation>
    </message>
    <message>
        <source>同じ照射 (IrradiationEventUID) の画像を記録済み（</source>
        <translation>An image of the same exposure (IrradiationEventUID) is recorded (</translation>
    </message>
    <message>
        <source> の記録 </source>
        <translation> record </translation>
    </message>
    <message>
        <source>同じ画像が続けて届きました</source>
        <translation>The same image arrived twice</translation>
    </message>
    <message>
        <source>ネットワークを使えません: </source>
        <translation>The network cannot be used: </translation>
    </message>
    <message>
        <source> と接続できません: </source>
        <translation> cannot be reached: </translation>
    </message>
    <message>
        <source> との接続が途中で切れました</source>
        <translation>: the connection broke off</translation>
    </message>
    <message>
        <source> はこの種類の DICOM オブジェクト（</source>
        <translation> does not accept this kind of DICOM object (</translation>
    </message>
    <message>
        <source>）を受け付けません</source>
        <translation>)</translation>
    </message>
    <message>
        <source> への送信に失敗しました: </source>
        <translation>: sending failed: </translation>
    </message>
    <message>
        <source>警告付きで保存されました（状態 </source>
        <translation>Stored with a warning (status </translation>
    </message>
    <message>
        <source>保存されませんでした（状態 </source>
        <translation>Not stored (status </translation>
    </message>
    <message>
        <source>送信の結果を得られませんでした</source>
        <translation>No result of the sending was received</translation>
    </message>
    <message>
        <source>を DICOM ファイルとして読めません</source>
        <translation> cannot be read as a DICOM file</translation>
    </message>
    <message>
        <source>ファイル（</source>
        <translation>File (</translation>
    </message>
    <message>
        <source>）: </source>
        <translation>): </translation>
    </message>
    <message>
        <source>（</source>
        <translation> (</translation>
    </message>
    <message>
        <source>）</source>
        <translation>)</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>「</source>
        <translation>“</translation>
    </message>
    <message>
        <source>」</source>
        <translation>”</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>。</source>
        <translation>. </translation>
    </message>
    <message>
        <source>次に: 患者IDと氏名を確かめ、この患児の画像なら「条件入力画面で開く」で開いて保存します。誤って送られた画像なら「取り除く」で理由を付けて取り除きます。</source>
        <translation>Next: check the patient ID and name. If the image is this infant's, open it on the conditions screen and save it; if it was sent by mistake, set it aside with a reason.</translation>
    </message>
    <message>
        <source>次に: 同じ撮影の記録が既にあるなら「取り除く」で取り除きます。別の撮影なら「条件入力画面で開く」で開いて保存します。</source>
        <translation>Next: if the record of this exposure is already there, set the image aside; if it is another exposure, open it on the conditions screen and save it.</translation>
    </message>
    <message>
        <source>次に: 「条件入力画面で開く」で開き、理由に書かれた値を確かめて直し、報告書から保存します。</source>
        <translation>Next: open it on the conditions screen, check and correct the values the reason names, and save it from the report.</translation>
    </message>
    <message>
        <source>次に: 「条件入力画面で開く」で開き、理由に書かれた足りない値を入力して報告書から保存します。誤って送られた画像なら「取り除く」で取り除きます。</source>
        <translation>Next: open it on the conditions screen, type the missing values the reason names and save it from the report. If it was sent by mistake, set it aside.</translation>
    </message>
</context>
</TS>
