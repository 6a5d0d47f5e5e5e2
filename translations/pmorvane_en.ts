<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>DataWindow</name>
    <message>
        <source>CalcForm</source>
        <translation>Scores</translation>
    </message>
    <message>
        <source>保  存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>計  算</source>
        <translation>Compute</translation>
    </message>
    <message>
        <source>印  刷</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>分  析</source>
        <translation>Analyse</translation>
    </message>
    <message>
        <source>終  了</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>a1</source>
        <translation>a1</translation>
    </message>
</context>
<context>
    <name>LevelsWindow</name>
    <message>
        <source>Form1</source>
        <translation>Levels</translation>
    </message>
    <message>
        <source>ＯＫ</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>削除（Ａ）</source>
        <translation>Delete (A)</translation>
    </message>
    <message>
        <source>追加（Ａ）</source>
        <translation>Add (A)</translation>
    </message>
    <message>
        <source>削除（Ｂ）</source>
        <translation>Delete (B)</translation>
    </message>
    <message>
        <source>追加（Ｂ）</source>
        <translation>Add (B)</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>N =</source>
        <translation>N =</translation>
    </message>
    <message>
        <source>読み込み</source>
        <translation>Open…</translation>
    </message>
    <message>
        <source>被験者内要因Ａ</source>
        <translation>Within factor A</translation>
    </message>
    <message>
        <source>被験者内要因Ｂ</source>
        <translation>Within factor B</translation>
    </message>
</context>
<context>
    <name>morvane::AnalysisExport</name>
    <message>
        <source>表: マークダウン (*.md)</source>
        <translation>Tables: Markdown (*.md)</translation>
    </message>
    <message>
        <source>表: CSV (*.csv)</source>
        <translation>Tables: CSV (*.csv)</translation>
    </message>
    <message>
        <source>表: JSON (*.json)</source>
        <translation>Tables: JSON (*.json)</translation>
    </message>
    <message>
        <source>プロット: PNG 画像 (*.png)</source>
        <translation>Plot: PNG image (*.png)</translation>
    </message>
    <message>
        <source>プロット: SVG (*.svg)</source>
        <translation>Plot: SVG (*.svg)</translation>
    </message>
    <message>
        <source>プロット: PDF (*.pdf)</source>
        <translation>Plot: PDF (*.pdf)</translation>
    </message>
    <message>
        <source>PNG 画像 (*.png)</source>
        <translation>PNG image (*.png)</translation>
    </message>
</context>
<context>
    <name>morvane::AnalysisSettingsDialog</name>
    <message>
        <source>η²: 効果の平方和を全体の平方和で割ったもの</source>
        <translation>η²: effect SS over total SS</translation>
    </message>
    <message>
        <source>偏 ω²</source>
        <translation>partial ω²</translation>
    </message>
    <message>
        <source>Cohen の f</source>
        <translation>Cohen&apos;s f</translation>
    </message>
    <message>
        <source>一般化 ω²</source>
        <translation>generalized ω²</translation>
    </message>
    <message>
        <source>検定力ソフトの f (測定間の相関を除いたもの)</source>
        <translation>the power programs&apos; f</translation>
    </message>
    <message>
        <source>分析の設定</source>
        <translation>Analysis settings</translation>
    </message>
    <message>
        <source>ＯＫ を押すと、この設定で分析し直します。設定は、このウィンドウの再読み込みでも使われます。</source>
        <translation>OK analyses again with these settings. The window&apos;s reloads use them too.</translation>
    </message>
    <message>
        <source>ＯＫ</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>多重比較の調整</source>
        <translation>Adjustments of the comparisons</translation>
    </message>
    <message>
        <source>比較と対比の p 値を、族ごとにこの方法で調整します (--adjust)</source>
        <translation>Adjusts the p values of the comparisons and contrasts within each family by these methods (--adjust)</translation>
    </message>
    <message>
        <source>表に加える効果量</source>
        <translation>Effect sizes added to the tables</translation>
    </message>
    <message>
        <source>偏 η² と一般化 η² に加えて示す効果量です (--effect-sizes)</source>
        <translation>Effect sizes shown beside partial and generalized eta squared (--effect-sizes)</translation>
    </message>
    <message>
        <source>有意水準 α:</source>
        <translation>Alpha:</translation>
    </message>
    <message>
        <source>頑健性の表が各検定を判定する水準です (--alpha)</source>
        <translation>The level at which the robustness table decides each test (--alpha)</translation>
    </message>
    <message>
        <source>計画対比</source>
        <translation>Planned contrasts</translation>
    </message>
    <message>
        <source>要因</source>
        <translation>Factor</translation>
    </message>
    <message>
        <source>多項式 (傾向)</source>
        <translation>Trends</translation>
    </message>
    <message>
        <source>水準の間隔</source>
        <translation>Spacing</translation>
    </message>
    <message>
        <source>対比 (1 行に 1 つ、「名前: 1,-1,0」)</source>
        <translation>Contrasts (a line each)</translation>
    </message>
    <message>
        <source>測定した要因</source>
        <translation>Measured</translation>
    </message>
    <message>
        <source>%1 (%2 水準)</source>
        <translation>%1 (%2 levels)</translation>
    </message>
    <message>
        <source>この要因の水準の多項式対比 (1 次、2 次…) を求めます (--trend)</source>
        <translation>The polynomial contrasts of this factor&apos;s levels: linear, quadratic, ... (--trend)</translation>
    </message>
    <message>
        <source>等間隔 (例 0,1,2,4)</source>
        <translation>equal (e.g. 0,1,2,4)</translation>
    </message>
    <message>
        <source>水準の値をコンマで区切って (--spacing)。空なら等間隔です</source>
        <translation>The levels&apos; values parted by commas (--spacing); empty: equally spaced</translation>
    </message>
    <message>
        <source>例 第1対残り: 2,-1,-1</source>
        <translation>e.g. first vs rest: 2,-1,-1</translation>
    </message>
    <message>
        <source>各行が 1 つの対比です。重みは水準の数だけ、和が 0 になるように (--contrast)</source>
        <translation>Each line is a contrast: a weight per level, summing to 0 (--contrast)</translation>
    </message>
    <message>
        <source>操作せずに測定した要因として、一般化 η² の分母に含めます (--observed)</source>
        <translation>A factor measured rather than manipulated: counted in generalized eta squared&apos;s denominator (--observed)</translation>
    </message>
    <message>
        <source>セルの対比較と単純交互作用</source>
        <translation>Pairwise comparisons of cells and simple interactions</translation>
    </message>
    <message>
        <source>2 要因の交互作用すべて</source>
        <translation>Every two-factor interaction</translation>
    </message>
    <message>
        <source>2 要因の交互作用ごとに、そのセルをすべて対にして比べます (--cells all)</source>
        <translation>Compares every pair of cells of each two-factor interaction (--cells all)</translation>
    </message>
    <message>
        <source>この交互作用のセルをすべて対にして比べます (--cells)</source>
        <translation>Compares every pair of this interaction&apos;s cells (--cells)</translation>
    </message>
    <message>
        <source>単純交互作用と単純・単純主効果</source>
        <translation>Simple interactions and simple-simple effects</translation>
    </message>
    <message>
        <source>要因が 3 つ以上のとき、第 3 の要因の水準ごとの 2 要因の交互作用と、2 要因の水準の組ごとの主効果を求めます (--simple-interactions)</source>
        <translation>With three or more factors: each two factors&apos; interaction at each level of a third, and each factor&apos;s effect at each level pair of two others (--simple-interactions)</translation>
    </message>
    <message>
        <source>調整の方法を 1 つ以上選んでください</source>
        <translation>Choose one adjustment or more</translation>
    </message>
</context>
<context>
    <name>morvane::AnalysisTableView</name>
    <message>
        <source>コピー</source>
        <translation>Copy</translation>
    </message>
</context>
<context>
    <name>morvane::CsvRolesDialog</name>
    <message>
        <source>CSV ファイルを読み込んで分析しています…</source>
        <translation>Reading and analysing the CSV file…</translation>
    </message>
    <message>
        <source>列を調べています…</source>
        <translation>Examining the columns…</translation>
    </message>
    <message>
        <source>(名前なし: %1 列目)</source>
        <translation>(no name: column %1)</translation>
    </message>
    <message>
        <source>セミコロン</source>
        <translation>semicolon</translation>
    </message>
    <message>
        <source>タブ</source>
        <translation>tab</translation>
    </message>
    <message>
        <source>カンマ</source>
        <translation>comma</translation>
    </message>
    <message>
        <source>使わない</source>
        <translation>not used</translation>
    </message>
    <message>
        <source>被験者</source>
        <translation>Subject</translation>
    </message>
    <message>
        <source>得点</source>
        <translation>Score</translation>
    </message>
    <message>
        <source>被験者内要因</source>
        <translation>Within factor</translation>
    </message>
    <message>
        <source>被験者間要因</source>
        <translation>Between factor</translation>
    </message>
    <message>
        <source>CSV の読み込み: %1</source>
        <translation>Open CSV: %1</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>カンマ (,)</source>
        <translation>Comma (,)</translation>
    </message>
    <message>
        <source>セミコロン (;)</source>
        <translation>Semicolon (;)</translation>
    </message>
    <message>
        <source>列の名前が並ぶ行。その上の行 (表題など) は読みません</source>
        <translation>The line holding the column names. The lines above it (a title and the like) are not read</translation>
    </message>
    <message>
        <source>小数点はカンマ(&amp;D)</source>
        <translation>&amp;Decimal comma</translation>
    </message>
    <message>
        <source>区切り文字(&amp;S):</source>
        <translation>&amp;Separator:</translation>
    </message>
    <message>
        <source>文字コード(&amp;E):</source>
        <translation>&amp;Encoding:</translation>
    </message>
    <message>
        <source>見出しの行(&amp;H):</source>
        <translation>&amp;Header line:</translation>
    </message>
    <message>
        <source>先頭の行:</source>
        <translation>First lines:</translation>
    </message>
    <message>
        <source>列の役割 (要因は上から順に分析の表に並びます。順番は 上へ / 下へ で変えます):</source>
        <translation>Column roles (factors appear in the analysis tables in this order; change it with Up / Down):</translation>
    </message>
    <message>
        <source>列</source>
        <translation>Column</translation>
    </message>
    <message>
        <source>役割</source>
        <translation>Role</translation>
    </message>
    <message>
        <source>上へ(&amp;U)</source>
        <translation>&amp;Up</translation>
    </message>
    <message>
        <source>下へ(&amp;W)</source>
        <translation>Do&amp;wn</translation>
    </message>
    <message>
        <source>データ ウィンドウで開く (被験者内要因 2 つ、被験者間要因なし、欠けも平均もないデータ)</source>
        <translation>Open in the data window (two within factors, no between factor, no missing or averaged scores)</translation>
    </message>
    <message>
        <source>ＯＫ</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>自動（%1）</source>
        <translation>Automatic (%1)</translation>
    </message>
</context>
<context>
    <name>morvane::DataWindow</name>
    <message>
        <source>%1番目</source>
        <translation>%1</translation>
    </message>
    <message>
        <source>ファイル名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>計算結果の出力用ファイル</source>
        <translation>File for the computed results</translation>
    </message>
    <message>
        <source>計算結果ファイルの要約表には、桁落ちのため正確でない値があります。正確な値は「分  析」で開く分析結果のウィンドウに示します。</source>
        <translation>The summary table of the results file holds values that are not exact because of lost digits. The exact values are in the results window that Analyse opens.</translation>
    </message>
    <message>
        <source>変更を保存しますか?</source>
        <translation>Save the changes?</translation>
    </message>
    <message>
        <source>復元用のコピーを書き込めません (%1)。異常終了したときは、保存していない変更を復元できません。</source>
        <translation>The recovery copy cannot be written (%1). If the program ends abnormally, unsaved changes cannot be recovered.</translation>
    </message>
</context>
<context>
    <name>morvane::InteractionPlotView</name>
    <message>
        <source>誤差線(&amp;E):</source>
        <translation>&amp;Error bars:</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>横軸(&amp;X):</source>
        <translation>&amp;X axis:</translation>
    </message>
    <message>
        <source>線(&amp;L):</source>
        <translation>&amp;Lines:</translation>
    </message>
    <message>
        <source>パネル(&amp;N):</source>
        <translation>Pa&amp;nels:</translation>
    </message>
    <message>
        <source>被験者(&amp;J):</source>
        <translation>Sub&amp;jects:</translation>
    </message>
    <message>
        <source>描かない</source>
        <translation>Not drawn</translation>
    </message>
    <message>
        <source>線</source>
        <translation>Lines</translation>
    </message>
    <message>
        <source>点</source>
        <translation>Points</translation>
    </message>
    <message>
        <source>各被験者の得点を平均の後ろに薄く描きます</source>
        <translation>Draws each subject&apos;s scores faintly behind the means</translation>
    </message>
</context>
<context>
    <name>morvane::LevelGrid</name>
    <message>
        <source>要因Ａ</source>
        <translation>Factor A</translation>
    </message>
    <message>
        <source>要因Ｂ</source>
        <translation>Factor B</translation>
    </message>
    <message>
        <source>ラベル</source>
        <translation>Label</translation>
    </message>
</context>
<context>
    <name>morvane::LevelsWindow</name>
    <message>
        <source>入力データファイル</source>
        <translation>Data file to open</translation>
    </message>
    <message>
        <source>CSV ファイル (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>データファイルが途中で終わっていたため、足りない %1 個の得点は空欄にしました</source>
        <translation>The data file ended early; the %1 missing scores were left blank</translation>
    </message>
    <message>
        <source>検証(&amp;V)…</source>
        <translation>&amp;Verify…</translation>
    </message>
    <message>
        <source>CSV ファイルを読み込んでいます…</source>
        <translation>Reading the CSV file…</translation>
    </message>
    <message>
        <source>公表された分析を計算し直しています…</source>
        <translation>Computing the published analyses again…</translation>
    </message>
    <message>
        <source>言語(&amp;L)…</source>
        <translation>&amp;Language…</translation>
    </message>
</context>
<context>
    <name>morvane::LoadProgress</name>
    <message>
        <source>データファイルを読み込み中です: </source>
        <translation>Reading the data file: </translation>
    </message>
</context>
<context>
    <name>morvane::OutputLogBar</name>
    <message>
        <source>履歴(&amp;H):</source>
        <translation>&amp;History:</translation>
    </message>
    <message>
        <source>この窓で示した分析 (最新の %1 件) から、もう一度示すものを選びます</source>
        <translation>Choose an analysis this window showed (the last %1) to show it again</translation>
    </message>
    <message>
        <source>出力ログを保存…</source>
        <translation>Save Output Log…</translation>
    </message>
    <message>
        <source>履歴のすべての分析を 1 つの HTML ファイルに書き出します</source>
        <translation>Writes every analysis of the history to one HTML file</translation>
    </message>
    <message>
        <source>消去</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>履歴を消去します (最新の分析は残ります)</source>
        <translation>Clears the history (the newest analysis stays)</translation>
    </message>
</context>
<context>
    <name>morvane::PowerDialog</name>
    <message>
        <source>検出力 %1 に必要な総 N: %2</source>
        <translation>Total N needed for power %1: %2</translation>
    </message>
    <message>
        <source> (群を等しくすると %1)</source>
        <translation> (%1 with equal groups)</translation>
    </message>
    <message>
        <source>総 N %1 で検出力 %2 の最小の効果: f = %3 (偏 η² = %4)</source>
        <translation>Smallest effect with power %2 at total N %1: f = %3 (partial η² = %4)</translation>
    </message>
    <message>
        <source>総 N %1 での検出力: %2</source>
        <translation>Power at total N %1: %2</translation>
    </message>
    <message>
        <source>
λ = %1、自由度 = %2, %3、臨界 F = %4、検出力 = %5</source>
        <translation>
λ = %1, df = %2, %3, critical F = %4, power = %5</translation>
    </message>
    <message>
        <source>検出力の計算</source>
        <translation>Power calculation</translation>
    </message>
    <message>
        <source>被験者内</source>
        <translation>Within</translation>
    </message>
    <message>
        <source>被験者間</source>
        <translation>Between</translation>
    </message>
    <message>
        <source>交互作用</source>
        <translation>Interaction</translation>
    </message>
    <message>
        <source>偏 η²</source>
        <translation>partial η²</translation>
    </message>
    <message>
        <source>検出力計算プログラム (gpower)</source>
        <translation>Power calculation program (gpower)</translation>
    </message>
    <message>
        <source>統計パッケージ (spss)</source>
        <translation>Statistics package (spss)</translation>
    </message>
    <message>
        <source>総 N での検出力</source>
        <translation>Power at total N</translation>
    </message>
    <message>
        <source>検出力に必要な総 N</source>
        <translation>Total N for a power</translation>
    </message>
    <message>
        <source>総 N と検出力での最小の効果</source>
        <translation>Smallest effect at total N and power</translation>
    </message>
    <message>
        <source>効果</source>
        <translation>Effect</translation>
    </message>
    <message>
        <source>測定の数 M</source>
        <translation>Measurements M</translation>
    </message>
    <message>
        <source>群の数 K</source>
        <translation>Groups K</translation>
    </message>
    <message>
        <source>流儀</source>
        <translation>Convention</translation>
    </message>
    <message>
        <source>測定間の相関 ρ</source>
        <translation>Correlation between measurements ρ</translation>
    </message>
    <message>
        <source>求めるもの</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>総 N</source>
        <translation>Total N</translation>
    </message>
    <message>
        <source>検出力</source>
        <translation>Power</translation>
    </message>
    <message>
        <source>ρ、ε、α は数です</source>
        <translation>ρ, ε and α are numbers</translation>
    </message>
    <message>
        <source>偏 η² は 0 以上 1 未満の数です</source>
        <translation>Partial η² is a number from 0 up to but not including 1</translation>
    </message>
    <message>
        <source>f は 0 以上の数です</source>
        <translation>f is a number of 0 or more</translation>
    </message>
    <message>
        <source>検出力は α より大きく 1 より小さい数です</source>
        <translation>Power is a number above α and below 1</translation>
    </message>
    <message>
        <source>総 N は %1 から 1000000000 までの整数です</source>
        <translation>Total N is a whole number from %1 to 1000000000</translation>
    </message>
    <message>
        <source>1000000000 までの総 N では検出力に届きません</source>
        <translation>No total N up to 1000000000 reaches the power</translation>
    </message>
    <message>
        <source>この値では非心 F 分布を評価できません</source>
        <translation>The noncentral F distribution cannot be evaluated at these values</translation>
    </message>
</context>
<context>
    <name>morvane::Program</name>
    <message>
        <source>前回保存されなかったデータがあります。復元しますか?

記録した日時: %1</source>
        <translation>There are data that were not saved last time. Recover them?

Recorded: %1</translation>
    </message>
</context>
<context>
    <name>morvane::ResultsPages</name>
    <message>
        <source>各効果の k 個の正規直交 Helmert 対比 (A は a − 1 個、B は b − 1 個、A x B はその積) を被験者ごとに求め、その平均ベクトル m がゼロかを共分散 S を仮定せずに Hotelling の T² = N m′ S⁻¹ m で検定します。F = (N − k) T² / (k (N − 1))、自由度 (k, N − k)。球面性の仮定は要りませんが、N − 1 が k 以上でなければ定義されません。</source>
        <translation>For each effect, its k orthonormal Helmert contrasts (a − 1 for A, b − 1 for B, their products for A x B) are formed for each subject, and whether their mean vector m is zero is tested without assuming a covariance S by Hotelling&apos;s T² = N m′ S⁻¹ m. F = (N − k) T² / (k (N − 1)), with df (k, N − k). Sphericity is not assumed, but the test is defined only when N − 1 is at least k.</translation>
    </message>
    <message>
        <source>被験者内効果 (と被験者間要因との交互作用) ごとに、その正規直交 Helmert 対比を被験者ごとに求め、仮説の積和行列 H を、群内でプールした対比の積和行列 E (自由度 N − g、g は群の数) に対して検定します。Pillai のトレース、Wilks のラムダ、Hotelling-Lawley のトレース、Roy の最大根と、その F 近似 (Roy の F は上限) です。球面性の仮定は要りませんが、N − g が対比の数より小さいと定義されません。</source>
        <translation>For each within-subject effect (and its interactions with the between factors), its orthonormal Helmert contrasts are formed for each subject, and the hypothesis cross-product matrix H is tested against the contrasts&apos; cross-product matrix E pooled within groups (df N − g, g the number of groups): Pillai&apos;s trace, Wilks&apos; lambda, the Hotelling-Lawley trace and Roy&apos;s largest root with their F approximations (Roy&apos;s F is an upper bound). Sphericity is not assumed, but the tests are not defined when N − g is smaller than the number of contrasts.</translation>
    </message>
    <message>
        <source>各誤差層の残差 (被験者 S: m(s) − m、A x S: m(s,a) − m(s) − m(a) + m、B x S も同様、A x B x S: y − m(s,a) − m(s,b) − m(a,b) + m(s) + m(a) + m(b) − m) の正規性を Shapiro-Wilk 検定 (Royston 1995 の AS R94、3〜5000 個) で確かめ、残差をその層の √(平方和 / 個数) で割ったスチューデント化残差が 3 を超える被験者を行番号で挙げます。セルの歪度 G1 と超過尖度 G2 は各セルの得点の調整済み標本統計量です。</source>
        <translation>The normality of each error stratum&apos;s residuals (subjects S: m(s) − m; A x S: m(s,a) − m(s) − m(a) + m; B x S likewise; A x B x S: y − m(s,a) − m(s,b) − m(a,b) + m(s) + m(a) + m(b) − m) is checked by the Shapiro-Wilk test (Royston 1995, AS R94, 3 to 5000 values), and subjects whose studentized residual (the residual divided by the stratum&apos;s √(sum of squares / count)) exceeds 3 are listed by row. The cells&apos; skewness G1 and excess kurtosis G2 are the adjusted sample statistics of each cell&apos;s scores.</translation>
    </message>
    <message>
        <source>各誤差層 (群内の被験者 S と、被験者内効果ごとの「効果 × S」) の残差の正規性を Shapiro-Wilk 検定 (Royston 1995 の AS R94、3〜5000 個) で確かめ、スチューデント化残差 (群の大きさによるてこ比で割ったもの) が 3 を超える被験者を挙げます。セルの歪度 G1 と超過尖度 G2 は各セルの得点の調整済み標本統計量です。被験者間要因があれば、被験者内セルごとに群の間の等分散性を Levene の検定 (平均を中心、中央値を中心) で確かめ、被験者内要因もあれば、全被験者内セルにわたる群の共分散行列の等質性を Box の M 検定 (χ² 近似と F 近似) で確かめます。</source>
        <translation>The normality of each error stratum&apos;s residuals (subjects S within groups, and &quot;effect × S&quot; for each within-subject effect) is checked by the Shapiro-Wilk test (Royston 1995, AS R94, 3 to 5000 values), and subjects whose studentized residual (divided by the leverage from the group&apos;s size) exceeds 3 are listed. The cells&apos; skewness G1 and excess kurtosis G2 are the adjusted sample statistics of each cell&apos;s scores. With between factors, the equality of the groups&apos; variances in each within-subject cell is checked by Levene&apos;s test (centred on the mean and on the median), and with within factors as well, the homogeneity of the groups&apos; covariance matrices over all within-subject cells by Box&apos;s M test (χ² and F approximations).</translation>
    </message>
    <message>
        <source>Friedman 検定は被験者ごとに k 個の値へ順位 (同順位は平均順位) を付け、順位和 R_j から Q = 12 Σ (R_j − n (k + 1) / 2)² / (n k (k + 1) − Σ (t³ − t) / (k − 1)) を自由度 k − 1 のカイ二乗で検定します。Kendall の W = Q / (n (k − 1))、Iman-Davenport の F = (n − 1) Q / (n (k − 1) − Q)。整列順位変換 (Wobbrock ら 2011) は効果ごとに、セル平均からの残差にその効果の推定値を足した応答に全体で順位を付け、その順位を分散分析してその効果の誤差層 (A は A x S、B は B x S、A x B は A x B x S) で検定します。その対比 (ART-C、Elkin ら 2021) は A (B) の水準の対を A (B) に整列した平均順位の差で比べ、t = 差 / √(2 MSE / (n b)) をその誤差層の自由度で検定します。</source>
        <translation>The Friedman test ranks each subject&apos;s k values (ties get the mean rank) and tests Q = 12 Σ (R_j − n (k + 1) / 2)² / (n k (k + 1) − Σ (t³ − t) / (k − 1)) from the rank sums R_j as a chi-square with k − 1 df. Kendall&apos;s W = Q / (n (k − 1)); Iman-Davenport&apos;s F = (n − 1) Q / (n (k − 1) − Q). The aligned rank transform (Wobbrock et al. 2011) ranks, for each effect, the residuals from the cell means plus that effect&apos;s estimates over all scores, analyses the ranks and tests the effect in its error stratum (A in A x S, B in B x S, A x B in A x B x S). Its contrasts (ART-C, Elkin et al. 2021) compare pairs of levels of A (B) by the difference of mean ranks aligned for A (B), testing t = difference / √(2 MSE / (n b)) with the stratum&apos;s df.</translation>
    </message>
    <message>
        <source>Friedman 検定は被験者内要因ごとに、各被験者のその水準の平均 (他の被験者内要因で平均) に順位 (同順位は平均順位) を付けて検定し、被験者内要因が 2 つ以上なら被験者内セル全体も 1 つの要因として検定します。整列順位変換 (Wobbrock ら 2011) は被験者内効果ごとに、セル平均からの残差にその効果の推定値を足した応答に全体で順位を付け、その順位を分散分析して「効果 × S」で検定します。その対比 (ART-C、Elkin ら 2021) は要因の水準の対を平均順位の差で比べ、要因の中で Holm の調整をします。</source>
        <translation>The Friedman test is run for each within factor on ranks of each subject&apos;s level means (averaged over the other within factors; ties get the mean rank), and with two or more within factors on all within-subject cells as one factor as well. The aligned rank transform (Wobbrock et al. 2011) ranks, for each within-subject effect, the residuals from the cell means plus that effect&apos;s estimates over all scores, analyses the ranks and tests the effect against &quot;effect × S&quot;. Its contrasts (ART-C, Elkin et al. 2021) compare pairs of a factor&apos;s levels by their difference of mean ranks, with Holm&apos;s adjustment within the factor.</translation>
    </message>
    <message>
        <source>各効果を、補正なし、Greenhouse–Geisser、Huynh–Feldt、下限による自由度の修正、多変量検定 (Pillai のトレース) と順位検定のそれぞれの p 値で表題の α のもとに判定し、判定が一致するかを示します。p 値は他のページの表と同じものです。</source>
        <translation>Each effect is decided at the α of the heading by the p value of each of: no correction, the Greenhouse–Geisser, Huynh–Feldt and lower-bound df corrections, the multivariate test (Pillai&apos;s trace) and the rank test, and whether the decisions agree is shown. The p values are those of the tables on the other pages.</translation>
    </message>
    <message>
        <source>同じような研究を繰り返すときに必要な総 N を、各効果の偏 η² (とその区間の下限) から、誤差層の測定間の平均相関 ρ と Greenhouse–Geisser の ε を使って、検出力計算プログラムの流儀 (morvane power と同じ) で求めます。効果を選んで「検出力…」で、その値を入れた検出力の計算を開きます。</source>
        <translation>The total N needed to repeat a similar study is found from each effect&apos;s partial η² (and the lower end of its interval), using the mean correlation ρ between measurements of the error stratum and the Greenhouse–Geisser ε, in the way of power calculation programs (as morvane power does). Select an effect and press Power… to open the power calculation with its values.</translation>
    </message>
    <message>
        <source>分散分析</source>
        <translation>ANOVA</translation>
    </message>
    <message>
        <source>平均</source>
        <translation>Means</translation>
    </message>
    <message>
        <source>対ごとの比較</source>
        <translation>Pairwise comparisons</translation>
    </message>
    <message>
        <source>単純主効果</source>
        <translation>Simple main effects</translation>
    </message>
    <message>
        <source>単純効果</source>
        <translation>Simple effects</translation>
    </message>
    <message>
        <source>対比</source>
        <translation>Contrasts</translation>
    </message>
    <message>
        <source>多変量検定</source>
        <translation>Multivariate tests</translation>
    </message>
    <message>
        <source>前提の確認</source>
        <translation>Assumption checks</translation>
    </message>
    <message>
        <source>順位検定</source>
        <translation>Rank tests</translation>
    </message>
    <message>
        <source>判定の頑健性</source>
        <translation>Robustness of decisions</translation>
    </message>
    <message>
        <source>計画</source>
        <translation>Planning</translation>
    </message>
    <message>
        <source>精度</source>
        <translation>Precision</translation>
    </message>
    <message>
        <source>Q-Q プロット</source>
        <translation>Q-Q plots</translation>
    </message>
    <message>
        <source>検出力…</source>
        <translation>Power…</translation>
    </message>
    <message>
        <source>選んだ効果の値を入れて検出力の計算を開きます</source>
        <translation>Opens the power calculation with the selected effect&apos;s values</translation>
    </message>
    <message>
        <source>残差の正規 Q-Q プロット</source>
        <translation>Normal Q-Q plots of the residuals</translation>
    </message>
    <message>
        <source>Q-Q プロットを書き出し…</source>
        <translation>Export Q-Q plot…</translation>
    </message>
    <message>
        <source>この Q-Q プロットを PNG 画像、SVG、PDF のファイルに書き出します</source>
        <translation>Exports this Q-Q plot to a PNG image, SVG or PDF file</translation>
    </message>
</context>
<context>
    <name>morvane::ResultsWindow</name>
    <message>
        <source>(名前のない研究)</source>
        <translation>(unnamed study)</translation>
    </message>
    <message>
        <source>履歴から %1 の分析 (%2) を示しています。最新の分析は履歴の最後にあります。</source>
        <translation>Showing the analysis of %1 (%2) from the history. The newest analysis is the last in the history.</translation>
    </message>
    <message>
        <source>出力ログの保存</source>
        <translation>Save the output log</translation>
    </message>
    <message>
        <source>HTML (*.html)</source>
        <translation>HTML (*.html)</translation>
    </message>
    <message>
        <source>出力ログの履歴を消去しますか? 最新の分析だけが残ります。</source>
        <translation>Clear the output log&apos;s history? Only the newest analysis stays.</translation>
    </message>
    <message>
        <source>分析の設定…</source>
        <translation>Analysis settings…</translation>
    </message>
    <message>
        <source>多重比較の調整、効果量、計画対比、セルの比較、有意水準を選んで分析し直します</source>
        <translation>Chooses the adjustments, effect sizes, planned contrasts, cell comparisons and alpha, and analyses again</translation>
    </message>
    <message>
        <source>分析結果</source>
        <translation>Analysis results</translation>
    </message>
    <message>
        <source>コピー</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>再読み込み</source>
        <translation>Reload</translation>
    </message>
    <message>
        <source>読み直して分析しています…</source>
        <translation>Reading again and analysing…</translation>
    </message>
    <message>
        <source>CSV ファイルを同じ列の役割で読み直して分析し直します</source>
        <translation>Reads the CSV file again with the same column roles and analyses it again</translation>
    </message>
    <message>
        <source>書き出し…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>表をマークダウン、CSV、JSON に、図を PNG、SVG、PDF に書き出します</source>
        <translation>Exports the tables to Markdown, CSV or JSON and the plot to PNG, SVG or PDF</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>同じ分析をするコマンド: </source>
        <translation>Command for the same analysis: </translation>
    </message>
    <message>
        <source>分析結果 - %1</source>
        <translation>Analysis results - %1</translation>
    </message>
    <message>
        <source>分析は不正な得点で止まりました。ここに示す結果は %1 の分析のもので、今のデータのものではありません。</source>
        <translation>The analysis stopped at an invalid score. The results shown are from the analysis at %1, not of the current data.</translation>
    </message>
    <message>
        <source>データが変更されました。ここに示す結果は %1 の分析 (最後の変更の前) のものです。「分  析」を押すと今のデータで計算し直します。</source>
        <translation>The data have changed. The results shown are from the analysis at %1 (before the last change). Press Analyse to compute them again from the current data.</translation>
    </message>
    <message>
        <source>%1 は読み込んだ後に変更されました。ここに示す結果は変更前のデータのものです。「再読み込み」を押すと今のファイルで分析し直します。</source>
        <translation>%1 has changed since it was read. The results shown are of the data before the change. Press Reload to analyse the current file.</translation>
    </message>
    <message>
        <source>この結果は %1 の分析のもので、その後のデータの変更を含みません。それでも%2しますか?</source>
        <translation>These results are from the analysis at %1 and do not include later changes to the data. %2 anyway?</translation>
    </message>
    <message>
        <source>この結果は %1 に読み込んだ %2 のもので、その後のファイルの変更を含みません。それでも%3しますか?</source>
        <translation>These results are of %2 as read at %1 and do not include later changes to the file. %3 anyway?</translation>
    </message>
    <message>
        <source>書き出し</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>図の書き出し</source>
        <translation>Export plot</translation>
    </message>
    <message>
        <source>Q-Q プロットの書き出し</source>
        <translation>Export Q-Q plot</translation>
    </message>
    <message>
        <source>図を書き出し…</source>
        <translation>Export plot…</translation>
    </message>
    <message>
        <source>この図を PNG 画像、SVG、PDF のファイルに書き出します</source>
        <translation>Exports this plot to a PNG image, SVG or PDF file</translation>
    </message>
    <message>
        <source>表をコピー</source>
        <translation>Copy table</translation>
    </message>
    <message>
        <source>分散分析表を APA 形式の表として、ワープロに表として貼り付けられる形でコピーします</source>
        <translation>Copies the ANOVA table as an APA-style table that pastes into a word processor as a table</translation>
    </message>
    <message>
        <source>報告文をコピー</source>
        <translation>Copy sentences</translation>
    </message>
    <message>
        <source>効果ごとの報告文 (F、p、効果量) をコピーします</source>
        <translation>Copies a report sentence for each effect (F, p, effect size)</translation>
    </message>
    <message>
        <source>英語で出力</source>
        <translation>Outputs in English</translation>
    </message>
    <message>
        <source>コピーする表と報告文、書き出す表を英語にします</source>
        <translation>Copied tables and sentences and exported tables are in English</translation>
    </message>
    <message>
        <source>表の数値:</source>
        <translation>Table figures:</translation>
    </message>
    <message>
        <source>表の数値を APA 形式の表のように丸めて示します (F、t は小数 2 桁、p は .014 や &lt; .001、効果量は .81)。Ctrl+C でのコピーも同じです</source>
        <translation>Shows the figures rounded as in an APA table (F and t to 2 decimals, p as .014 or &lt; .001, effect sizes as .81). Ctrl+C copies the same</translation>
    </message>
    <message>
        <source>全桁</source>
        <translation>All digits</translation>
    </message>
    <message>
        <source>表の数値を有効数字 10 桁で示します。Ctrl+C でのコピーも同じです</source>
        <translation>Shows the figures to 10 significant digits. Ctrl+C copies the same</translation>
    </message>
    <message>
        <source>%1 個のセルの得点は、%2 行を平均したものです。</source>
        <translation>The scores of %1 cells are means of %2 rows.</translation>
    </message>
</context>
<context>
    <name>morvane::VerifyDialog</name>
    <message>
        <source>すべて一致しました: %1 組のデータの公表値 %2 個を、印刷された桁の範囲で計算し直しました。</source>
        <translation>All agree: %2 published figures of %1 data sets computed again, within their printed digits.</translation>
    </message>
    <message>
        <source>一致しない値があります: %1 組のデータのうち %2 組で、公表値 %3 個のうち %4 個が一致しません。</source>
        <translation>Some figures disagree: in %2 of %1 data sets, %4 of %3 published figures.</translation>
    </message>
    <message>
        <source>公表された分析との照合</source>
        <translation>Checked against published analyses</translation>
    </message>
    <message>
        <source>HTML で保存…</source>
        <translation>Save as HTML…</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>照合結果の保存</source>
        <translation>Save the check</translation>
    </message>
</context>
<context>
    <name>morvane::widgets::FileChoice</name>
    <message>
        <source>データファイル (*.dat)</source>
        <translation>Data files (*.dat)</translation>
    </message>
    <message>
        <source>すべてのファイル (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>%1 は既に存在します。置き換えますか?</source>
        <translation>%1 already exists. Replace it?</translation>
    </message>
</context>
<context>
    <name>morvane::widgets::FormWindow</name>
    <message>
        <source>表の外にはみ出した %1 個の値は貼り付けませんでした</source>
        <translation>%1 values that fell outside the table were not pasted</translation>
    </message>
    <message>
        <source>改行やタブを含む %1 個の値は貼り付けませんでした</source>
        <translation>%1 values holding line breaks or tabs were not pasted</translation>
    </message>
    <message>
        <source>表の外にはみ出した %1 個の値と改行やタブを含む %2 個の値は貼り付けませんでした</source>
        <translation>%1 values that fell outside the table and %2 values holding line breaks or tabs were not pasted</translation>
    </message>
</context>
<context>
    <name>morvane::widgets::Language</name>
    <message>
        <source>ja</source>
        <comment>the code of the windows&apos; language</comment>
        <translation>en</translation>
    </message>
</context>
<context>
    <name>morvane::widgets::LanguageDialog</name>
    <message>
        <source>ウィンドウの言語</source>
        <translation>Language of the windows</translation>
    </message>
    <message>
        <source>自動 (ロケールに従う)(&amp;A)</source>
        <translation>&amp;Automatic (follows the locale)</translation>
    </message>
    <message>
        <source>選んだ言語は次に起動したときから使われます。開いているウィンドウはこのままで、入力したデータはなくなりません。</source>
        <translation>The language chosen is used from the next start of PMorvane. The open windows stay as they are, and nothing you typed is lost.</translation>
    </message>
    <message>
        <source>ＯＫ</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>選んだ言語を設定ファイル %1 に記録できませんでした。</source>
        <translation>The language chosen could not be remembered in the settings file %1.</translation>
    </message>
</context>
<context>
    <name>morvane::widgets::PrintProgressDialog</name>
    <message>
        <source>印刷中です: %1 ページ目</source>
        <translation>Printing page %1</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Stop</translation>
    </message>
</context>
<context>
    <name>morvane::widgets::QtMessageBoxes</name>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>保存しない</source>
        <translation>Don&apos;t save</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>はい</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>いいえ</source>
        <translation>No</translation>
    </message>
</context>
</TS>
