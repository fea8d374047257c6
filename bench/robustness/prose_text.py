#!/usr/bin/env python3
"""Plain text for the bench (plain_text.sh): lowercase prose from a fixed word list with
some commas, sentence ends and digit runs, drawn from a fixed seed, so every run sends the same
bytes. Writes about N characters (default 10450, ten minutes at the default timing) to
standard output.

    prose_text.py [N]
"""
import random, sys
n = int(sys.argv[1]) if len(sys.argv) > 1 else 10450
words = ("the of and to in is it that was for on are with as his they be at one have this from "
         "or had by hot word but what some we can out other were all there when up use your how "
         "said an each she which do their time if will way about many then them write would like "
         "so these her long make thing see him two has look more day could go come did number "
         "sound no most people my over know water than call first who may down side been now find "
         "any new work part take get place made live where after back little only round man year "
         "came show every good me give our under name very through just form sentence great think "
         "say help low line differ turn cause much mean before move right boy old too same tell "
         "does set three want air well also play small end put home read hand port large spell add "
         "even land here must big high such follow act why ask men change went light kind off need "
         "house picture try us again animal point mother world near build self earth father head "
         "stand own page should country found answer school grow study still learn plant cover food "
         "sun four between state keep eye never last let thought city tree cross farm hard start "
         "might story saw far sea draw left late run while press close night real life few north "
         "open seem together next white children begin got walk example ease paper group always "
         "music those both mark often letter until mile river car feet care second book carry took "
         "science eat room friend began idea fish mountain stop once base hear horse cut sure watch "
         "color face wood main enough plain girl usual young ready above ever red list though feel "
         "talk bird soon body dog family direct pose leave song measure door product black short "
         "numeral class wind question happen complete ship area half rock order fire south problem "
         "piece told knew pass since top whole king space heard best hour better true during hundred "
         "five remember step early hold west ground interest reach fast verb sing listen six table "
         "travel less morning ten simple several vowel toward war lay against pattern slow center "
         "love person money serve appear road map rain rule govern pull cold notice voice unit power "
         "town fine certain fly fall lead cry dark machine note wait plan figure star box noun field "
         "rest correct able pound done beauty drive stood contain front teach week final gave green "
         "quick develop ocean warm free minute strong special mind behind clear tail produce fact "
         "street inch multiply nothing course stay wheel full force blue object decide surface deep "
         "moon island foot system busy test record boat common gold possible plane stead dry wonder "
         "laugh thousand ago ran check game shape equate miss brought heat snow tire bring yes "
         "distant fill east paint language among").split()
rng = random.Random(20261209)
out = []
length = 0
while length < n:
    sentence = []
    for i in range(rng.randint(5, 16)):
        if rng.random() < 0.06:
            sentence.append(str(rng.randint(0, 10 ** rng.randint(1, 6))))
        else:
            sentence.append(rng.choice(words))
        if i and rng.random() < 0.08:
            sentence[-1] += ','
    s = ' '.join(sentence) + rng.choice(['.', '.', '.', '?', '!']) + ' '
    out.append(s)
    length += len(s)
text = ''.join(out)[:n].rstrip() + '\n'
sys.stdout.write(text)
